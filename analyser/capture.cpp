// Capture, display and logging: the poll step, the reading of received frames, the display
// formats and the log file.
#include <algorithm>
#include <array>
#include <cstring>

#include "analyser/analyser_app.h"
#include "analyser/frame_format.h"
#include "analyser/get_data_errors.h"
#include "analyser/timed_read.h"
#include "portaccess/tick_count.h"

namespace qorval::analyser {
namespace {

constexpr const char* kCaptureStopping = "Stopping capture of link data.";
constexpr const char* kCaptureStarting = "Starting to capture link data.";
constexpr const char* kLoggingDisabled = "Logging disabled.";
constexpr const char* kLoggingEnabled = "Logging enabled.";
constexpr const char* kLoggingOptionsChanged = "Logging options changed. Logging disabled.";
constexpr std::array<const char*, 3> kFormatStatus = {"Setting display format to ASCII.",
                                                      "Setting display format to hexidecimal.",
                                                      "Setting display format to mixed hex/ASCII."};
constexpr std::array<const char*, 3> kTimeColumnStatus = {
    "Not showing frame times.", "Showing each frame's time since the start of capture.",
    "Showing each frame's time since the frame before it."};

}  // namespace

void CAnalyserApp::ToggleCapture() {
    // A capture that runs can always be stopped; starting one needs a port.
    if (!capturing_ && !CheckPortSelected()) {
        return;
    }
    if (capturing_) {
        StopCapture();
    } else {
        capturing_ = true;
        frameCount_ = 0;
        framesShown_ = 0;
        currentFrame_ = nullptr;
        currentLength_ = 0;
        captureStartNs_ = wallClock_();
        currentArrivalNs_ = captureStartNs_;
        previousArrivalNs_ = captureStartNs_;
        decoding_.Start(captureStartNs_);
        if (transmitEnabled_) {
            sendPending_ = parms_.sendFirst;
        }
        captureView_ = ui_.OpenCaptureWindow();
        ui_.ShowStatus(kCaptureStarting);
    }
    RefreshMenu();
}

void CAnalyserApp::StopCapture() {
    FlushOutput();
    capturing_ = false;
    captureView_ = nullptr;
    ui_.CloseCaptureWindow();
    ui_.ShowStatus(kCaptureStopping);
}

void CAnalyserApp::CaptureWindowClosed() {
    captureView_ = nullptr;
}

bool CAnalyserApp::PollStep() {
    lastPollIdle_ = true;
    // Capture needs the frame buffers of a selected port; a failed reselection removes them.
    if (!capturing_ || !portSelected_) {
        return true;
    }
    const uint8_t* frame = nullptr;
    uint32_t length = 0;
    bool sent = false;
    if (transmitEnabled_ && macroMode_) {
        frame = RunMacro(sent, length);
    } else if (transmitEnabled_ && sendPending_) {
        length = SendFileStep();
        frame = txFrame_.data();
        sent = true;
    } else {
        ReceiveWaitingFrames();
    }
    // Only a frame that is shown becomes the current frame: an empty poll must not make a
    // later format change blank the window instead of showing the last frame again.
    if (length != 0) {
        ShowFrame(frame, length, sent);
    }
    FlushIfDue();
    return true;
}

void CAnalyserApp::ReceiveWaitingFrames() {
    // Each frame is taken as a poll of its own would take it (buffer count, then read), but all
    // those waiting at the first count are taken in this one step, so a full line does not cost
    // a trip through the message loop per frame. Frames arriving meanwhile wait for the next
    // step, which keeps the step bounded while the line stays busy.
    uint32_t budget = 1;
    for (uint32_t taken = 0; taken < budget; ++taken) {
        const int32_t received = ReceiveFrame(portInfo_.maxRxFrame, rxFrame_.data());
        const uint32_t length = static_cast<uint32_t>(received < 0 ? -received : received);
        rxLength_ = length;
        if (length == 0) {
            return;
        }
        if (taken == 0 && !transmitEnabled_) {
            budget = std::max<uint32_t>(1, lastFramesWaiting_);
        }
        ++frameCount_;
        if (transmitEnabled_) {
            sendPending_ = true;  // every received frame releases the next send block
        }
        ShowFrame(rxFrame_.data(), length, false);
    }
}

void CAnalyserApp::ShowFrame(const uint8_t* frame, uint32_t length, bool sent) {
    lastPollIdle_ = false;
    // A frame the filter refuses is neither shown nor logged (it was counted when it was taken
    // or sent), and the current frame stays the last one shown.
    if (!decoding_.Show({frame, length}, sent)) {
        return;
    }
    // The current frame is kept apart from the buffer it came in, which the next frame (one the
    // filter may hide) overwrites, together with the number it was shown with.
    currentBytes_.assign(frame, frame + length);
    currentFrame_ = currentBytes_.data();
    currentLength_ = length;
    currentSent_ = sent;
    currentFrameCount_ = frameCount_;
    previousArrivalNs_ = framesShown_ == 0 ? captureStartNs_ : currentArrivalNs_;
    currentArrivalNs_ = frameArrivalNs_;
    ++framesShown_;
    FormatFrame(frame, length, sent);
    if (loggingEnabled_) {
        if (parms_.rawLogging) {
            (void)logFile_.Write({frame, length});
        } else {
            (void)logFile_.Write(
                {reinterpret_cast<const uint8_t*>(displayText_.data()), displayText_.size()});
        }
    }
    if (captureView_ != nullptr) {
        captureView_->SetText(displayText_);
    }
    MarkUnflushed();
}

void CAnalyserApp::MarkUnflushed() {
    if (!unflushed_) {
        unflushed_ = true;
        unflushedSinceMs_ = GetTickCount();
    }
}

void CAnalyserApp::FlushIfDue() {
    if (unflushed_ && GetTickCount() - unflushedSinceMs_ >= kFlushIntervalMs) {
        FlushOutput();
    }
}

void CAnalyserApp::FlushOutput() {
    unflushed_ = false;
    (void)logFile_.Flush();
    if (captureView_ != nullptr) {
        captureView_->Flush();
    }
    if (frameObserver_ != nullptr) {
        frameObserver_->Flush();
    }
    decoding_.FlushSink();
}

int32_t CAnalyserApp::ReceiveFrame(uint16_t size, uint8_t* buffer) {
    uint16_t waiting = 0;
    uint16_t txFree = 0;
    const uint32_t countResult = QORVAL_GetBufferCount(portHandle_, &waiting, &txFree);
    const bool counted = countResult == QORVAL_OK;
    lastFramesWaiting_ = counted ? waiting : 0;
    if (!counted) {
        (void)PortGone(countResult);
        return 0;
    }
    if (waiting == 0) {
        return 0;
    }
    uint32_t length = 0;
    uint64_t arrivalNs = 0;
    const uint32_t result =
        ReadTimedFrame(portHandle_, buffer, size, &length, &arrivalNs, wallClock_);
    if (PortGone(result)) {
        return 0;  // nothing came; the failure was the port's going, said once already
    }
    // The library's count is outside input: never believe more than the buffer holds.
    length = std::min<uint32_t>(length, size);
    if (length != 0 || result != QORVAL_OK) {
        NotifyFrame({buffer, length}, false, result, arrivalNs);
    }
    if (result == QORVAL_OK) {
        return static_cast<int32_t>(length);
    }
    const std::string_view text = GetDataErrorText(result);
    const size_t n = std::min<size_t>(text.size(), size);
    std::memcpy(buffer, text.data(), n);
    return -static_cast<int32_t>(n);
}

void CAnalyserApp::NotifyFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result,
                               uint64_t arrivalNs) {
    frameArrivalNs_ = arrivalNs;
    decoding_.OnPortFrame(bytes, sent, result, arrivalNs);
    if (frameObserver_ != nullptr) {
        frameObserver_->OnFrame({bytes, sent, result, arrivalNs});
        MarkUnflushed();
    }
}

void CAnalyserApp::FormatFrame(const uint8_t* bytes, uint32_t length, bool sent) {
    FormatNumberedFrame(bytes, length, sent, frameCount_);
}

void CAnalyserApp::FormatNumberedFrame(const uint8_t* bytes, uint32_t length, bool sent,
                                       uint32_t frameCount) {
    if (bytes == nullptr) {
        displayText_.clear();
    } else if (decode_.decodedView) {
        displayText_ = decoding_.CurrentLine(frameCount);
    } else {
        displayText_ = FormatFrameText({bytes, length}, parms_.display, sent, frameCount);
    }
    const TimeColumn column = GetTimeColumn();
    if (column != TimeColumn::Off && !displayText_.empty()) {
        const uint64_t reference =
            column == TimeColumn::SinceStart ? captureStartNs_ : previousArrivalNs_;
        displayText_ = AddTimeColumn(displayText_, FormatTimeColumn(currentArrivalNs_, reference));
    }
}

void CAnalyserApp::SetTimeColumn(TimeColumn column) {
    view_.timeColumn = static_cast<int>(column);
    ShowCurrentFrameAgain();
    ui_.ShowStatus(kTimeColumnStatus[static_cast<size_t>(column)]);
}

void CAnalyserApp::SetDisplayFormat(int format) {
    parms_.display = format;
    decode_.decodedView = false;
    RefreshMenu();
    ShowCurrentFrameAgain();
    if (format >= 0 && static_cast<size_t>(format) < kFormatStatus.size()) {
        ui_.ShowStatus(kFormatStatus[static_cast<size_t>(format)]);
    }
}

void CAnalyserApp::ShowCurrentFrameAgain() {
    if (capturing_) {
        FormatNumberedFrame(currentFrame_, currentLength_, currentSent_, currentFrameCount_);
        if (captureView_ != nullptr) {
            captureView_->ReplaceLastFrame(displayText_);
        }
    }
}

void CAnalyserApp::ToggleLogging() {
    if (loggingEnabled_) {
        logFile_.Close();
        loggingEnabled_ = false;
        ui_.ShowStatus(kLoggingDisabled);
    } else {
        logFile_.Close();
        if (logFile_.Open(parms_.logFile, ExclusiveFile::Mode::Append, !parms_.rawLogging)) {
            loggingEnabled_ = true;
            ui_.ShowStatus(kLoggingEnabled);
        }
    }
    RefreshMenu();
}

void CAnalyserApp::SetLoggingOptions(const std::string& logFileName, bool rawLogging) {
    parms_.logFile = logFileName;
    parms_.rawLogging = rawLogging;
    logFile_.Close();
    loggingEnabled_ = false;
    RefreshMenu();
    ui_.ShowStatus(kLoggingOptionsChanged);
}

}  // namespace qorval::analyser
