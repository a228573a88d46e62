// CAnalyserApp: the analyser's whole run-time state and behaviour without a window. The
// window (or the command line) owns one, runs PollStep whenever it is idle and routes its
// commands here; the engine talks back only through AnalyserUi.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analyser/capture_decoding.h"
#include "analyser/decode_settings.h"
#include "analyser/frame_observer.h"
#include "analyser/frame_time.h"
#include "analyser/macro_step.h"
#include "analyser/replay.h"
#include "analyser/settings.h"
#include "analyser/text_file.h"
#include "analyser/user_interface.h"
#include "portaccess/port_close_runner.h"
#include "portaccess/port_loss.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {

// Values of the Send Options dialog.
struct SendOptions {
    std::string macroFile;
    bool executeMacro = false;
    std::string sendFile;
    bool sendFirst = false;

    bool operator==(const SendOptions&) const = default;
};

class CAnalyserApp {
  public:
    // The caption of every message box of the program, and the main window's title.
    static constexpr const char* kCaption = "Lombex for NT";

    // A macro pass runs at most this many steps, so that a loop without GET, SEND or STOP
    // returns to the message loop; the next pass continues where this one stopped.
    static constexpr uint32_t kMaxStepsPerPass = 4096;

    // The log, the capture file and a buffering capture view are written out no later than
    // this after the first frame that went into their buffers (and when capture stops).
    static constexpr uint32_t kFlushIntervalMs = 100;

    CAnalyserApp(AnalyserUi& ui, std::filesystem::path profilePath);
    ~CAnalyserApp();
    CAnalyserApp(const CAnalyserApp&) = delete;
    CAnalyserApp& operator=(const CAnalyserApp&) = delete;

    // --- Start-up, shut-down, port selection (analyser_app.cpp) ---
    // Reads the settings and finds the drivers; false when the program must end.
    [[nodiscard]] bool Startup();
    // Closes the files, frees the buffers and the macro, writes the settings (when asked),
    // closes the port.
    void Shutdown(bool saveSettings = true);
    // The Select Driver/Port command; true when a port is open and selected afterwards.
    bool SelectDriverPort();
    // The check of every command that needs a port: shows the message when none is selected.
    bool CheckPortSelected();
    // After a request on the selected port failed with `result`: when the port has gone (the
    // driver host died, or the port was removed), capture stops as the Stop command stops it,
    // the port's handle is given back (Select Driver/Port opens one again) and the user is told
    // why and what to do, once; true then. A failure of a port that is still there: false.
    bool PortGone(uint32_t result);
    // Why the port selected last went away under the program; kNone while it is there.
    PortLoss LostPort() const { return lostPort_; }
    // Added, after an empty line, to the boxes that say the driver information could not be
    // read (the window tells there how to start the driver host).
    // Asked for the text when the library finds no driver host.
    void SetDriverInfoHint(std::function<std::string()> hint) { driverInfoHint_ = std::move(hint); }
    void SetDriverInfoHint(std::string hint) {
        driverInfoHint_ = [hint = std::move(hint)] { return hint; };
    }

    // --- Capture, display and logging (capture.cpp) ---
    void ToggleCapture();
    // One idle call while capturing; returns the request for more idle time (always true).
    bool PollStep();
    // At most one frame into buffer: its length, 0 when none waited, or minus the length of
    // the error text put into the buffer in its place.
    int32_t ReceiveFrame(uint16_t size, uint8_t* buffer);
    // Fills displayText with the lines of the frame (the current frame's time in front when
    // the time column is on).
    void FormatFrame(const uint8_t* bytes, uint32_t length, bool sent);
    void SetDisplayFormat(int format);
    // Turns the time column on (relative to the start of capture or to the previous frame) or
    // off; while capturing the current frame is shown again at once, as a format change does.
    void SetTimeColumn(TimeColumn column);
    TimeColumn GetTimeColumn() const { return TimeColumnFromSetting(view_.timeColumn); }
    void ToggleLogging();
    void SetLoggingOptions(const std::string& logFileName, bool rawLogging);
    // The capture window went away: capture goes on without display.
    void CaptureWindowClosed();
    // Writes out what the log, the capture file and the capture view hold in their buffers.
    void FlushOutput();

    // --- Decoded view, filter and statistics (decoded_view.cpp) ---
    // The fourth display format: one decoded line a frame. The three byte formats of
    // SetDisplayFormat turn it off again.
    void SetDecodedView();
    bool DecodedView() const { return decode_.decodedView; }
    // The link protocol frames are decoded by, from the next frame on.
    void SetLinkProtocol(decode::LinkProtocol link);
    decode::LinkProtocol LinkProtocolSetting() const { return decode_.link; }
    // Shows and logs only the frames the expression matches (an empty one: every frame). A
    // faulty expression leaves the filter as it was; its error is returned and shown in the
    // status bar.
    std::optional<FilterError> SetFilter(const std::string& expression);
    const FrameFilter& Filter() const { return decoding_.Filter(); }
    // The statistics of the capture (the latest one, after it stopped) at this moment.
    StatisticsSnapshot Statistics() const;
    // Receives each frame from the port that the filter lets through.
    void SetDecodedFrameSink(DecodedFrameSink* sink) { decoding_.SetSink(sink); }

    // --- Transmission and macros (transmit.cpp, macro_run.cpp) ---
    void ToggleTransmit();
    void SetSendOptions(const SendOptions& options);
    [[nodiscard]] bool ParseMacroFile();
    void AbortMacro(const std::string& text);
    // One interpreter pass: the frame to show (nullptr with length 0 for none).
    const uint8_t* RunMacro(bool& sent, uint32_t& length);
    size_t SendBlockReader(size_t maximum, uint8_t* buffer);

    // --- Replay of a capture onto the port (replay_command.cpp) ---
    // Loads the capture file and starts putting the frames that arrived in it on the selected
    // port; false, with the message shown, when no port is selected or the file cannot be used.
    bool StartReplay(const std::string& path, ReplayTiming timing);
    // One step of the replay: when to step again (on the replay clock), or nullopt once it is
    // over (every frame sent, a write failed, or it was stopped).
    std::optional<uint64_t> ReplayStep();
    void StopReplay();
    bool Replaying() const { return replay_ != nullptr; }
    // The last replay ended because a write failed.
    bool ReplayFailed() const { return replayFailed_; }
    // A steady clock in nanoseconds (the steady clock unless a test sets another), and now on it.
    void SetReplayClock(std::function<uint64_t()> clock) { replayClock_ = std::move(clock); }
    uint64_t ReplayNowNs() const;

    // --- Observers and state for the front ends and tests ---
    void SetFrameObserver(FrameObserver* observer) { frameObserver_ = observer; }
    // How a reselection and Shutdown run the port's close, which may take seconds while the
    // frames queued leave the card; empty (at first): on the calling thread.
    void SetCloseRunner(PortCloseRunner run) { closeRunner_ = std::move(run); }
    // The clock of sent frames, of the start of capture and of frames the library does not
    // stamp (WallClockNs unless a test sets another).
    void SetWallClock(std::function<uint64_t()> clock) { wallClock_ = std::move(clock); }
    const ParmsSettings& Parms() const { return parms_; }
    ParmsSettings& MutableParms() { return parms_; }
    ViewSettings& View() { return view_; }
    const SystemInfo& GetSystemInfoRecord() const { return systemInfo_; }
    QORVAL_HANDLE PortHandle() const { return portHandle_; }
    bool PortSelected() const { return portSelected_; }
    const PortInfo& GetPortInfoRecord() const { return portInfo_; }
    PortInfo& MutablePortInfo() { return portInfo_; }
    PortChoice SelectedPort() const { return selectedPort_; }
    bool Capturing() const { return capturing_; }
    bool LoggingEnabled() const { return loggingEnabled_; }
    bool TransmitEnabled() const { return transmitEnabled_; }
    bool MacroMode() const { return macroMode_; }
    bool SendPending() const { return sendPending_; }
    uint32_t FrameCount() const { return frameCount_; }
    const std::string& DisplayText() const { return displayText_; }
    const std::vector<MacroStep>& Steps() const { return steps_; }
    int32_t StepIndex() const { return stepIndex_; }
    std::span<const uint8_t> TxFrame() const { return {txFrame_.data(), txLength_}; }
    std::span<const uint8_t> RxFrame() const { return {rxFrame_.data(), rxLength_}; }
    // True when the last PollStep found nothing to do (the idle loop may then rest briefly).
    bool LastPollIdle() const { return lastPollIdle_; }
    // Frames (received, sent or error texts) shown since capture started.
    uint64_t FramesShown() const { return framesShown_; }
    // Arrival time (frame_time.h) of the frame shown last, and of the start of capture.
    uint64_t CurrentArrivalNs() const { return currentArrivalNs_; }
    uint64_t CaptureStartNs() const { return captureStartNs_; }

    // Port control commands need these (port_control.cpp).
    AnalyserUi& Ui() { return ui_; }
    void ShowMessage(const std::string& text);

  private:
    std::string WithDriverInfoHint(const char* text) const;
    MenuState CurrentMenuState() const;
    void RefreshMenu();
    void ClearFrameBuffers();
    void ClosePortAfterFailure();
    // Gives the port's handle back (the close runs through the close runner).
    void ClosePortHandle();
    void StopCaptureWithoutPort();
    // Capture off: the capture window closes (nothing is saved) and the status says so.
    void StopCapture();
    // Makes the frame the current one, formats it, logs it and puts it in the capture window,
    // when the filter lets it through; its time is that of the frame last taken from or put on
    // the port (frameArrivalNs_).
    void ShowFrame(const uint8_t* frame, uint32_t length, bool sent);
    // Formats the current frame again (a display format changed) and puts it in the window.
    void ShowCurrentFrameAgain();
    void FormatNumberedFrame(const uint8_t* bytes, uint32_t length, bool sent,
                             uint32_t frameCount);
    // The receive half of a poll step: every frame waiting when it starts, or only one while
    // transmission is on (each received frame releases one send block).
    void ReceiveWaitingFrames();
    void MarkUnflushed();
    void FlushIfDue();
    // Send-file mode: the next block goes out (or the text that replaced it).
    uint32_t SendFileStep();
    // Puts the text into txFrame in place of the block (cut to the buffer) and gives its
    // length; the text is shown at the time it replaced the block.
    uint32_t ReplaceTxFrame(std::string_view text);
    // A frame was taken from the port or put on it at `arrivalNs`: its time becomes the one
    // the display shows next, and the observer sees it.
    void NotifyFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result,
                     uint64_t arrivalNs);
    void CloseSendFile();

    AnalyserUi& ui_;
    std::filesystem::path profilePath_;
    std::function<std::string()> driverInfoHint_;

    SystemInfo systemInfo_{};
    QORVAL_HANDLE portHandle_ = 0;
    PortCloseRunner closeRunner_;
    bool portSelected_ = false;
    PortChoice selectedPort_{};
    PortLoss lostPort_ = PortLoss::kNone;
    PortInfo portInfo_{};
    PortState portStateScratch_{};
    std::vector<uint8_t> txFrame_, rxFrame_;
    uint32_t txLength_ = 0, rxLength_ = 0;

    ParmsSettings parms_;
    ViewSettings view_, viewLoaded_;

    bool capturing_ = false;
    bool loggingEnabled_ = false;
    ExclusiveFile logFile_;
    uint32_t frameCount_ = 0;
    std::string displayText_;
    std::vector<uint8_t> currentBytes_;  // a copy of the frame last shown
    uint32_t currentFrameCount_ = 0;     // the frame number it was shown with
    const uint8_t* currentFrame_ = nullptr;
    uint32_t currentLength_ = 0;
    bool currentSent_ = false;
    CaptureView* captureView_ = nullptr;
    // Times (frame_time.h): the frame last taken or put, the current frame and the frame shown
    // before it (the start of capture for the first), the start of capture.
    uint64_t frameArrivalNs_ = 0;
    uint64_t currentArrivalNs_ = 0;
    uint64_t previousArrivalNs_ = 0;
    uint64_t captureStartNs_ = 0;
    std::function<uint64_t()> wallClock_ = WallClockNs;

    bool transmitEnabled_ = false;
    bool sendPending_ = false;
    bool macroMode_ = false;
    ExclusiveFile sendFile_;
    std::vector<MacroStep> steps_;
    int32_t stepIndex_ = 0;
    bool stepEntered_ = true;              // the step at stepIndex is entered afresh
    const uint8_t* testBuffer_ = nullptr;  // the buffer IF statements read; null before GET/SEND
    size_t testBufferSize_ = 0;

    DecodeSettings decode_;
    CaptureDecoding decoding_;

    std::unique_ptr<ReplaySession> replay_;
    bool replayFailed_ = false;
    std::function<uint64_t()> replayClock_;

    FrameObserver* frameObserver_ = nullptr;
    bool lastPollIdle_ = false;
    uint64_t framesShown_ = 0;
    uint16_t lastFramesWaiting_ = 0;  // the count ReceiveFrame's last buffer count gave
    bool unflushed_ = false;          // something went into an output buffer since the flush
    uint32_t unflushedSinceMs_ = 0;   // tick count of the first such write
};

}  // namespace qorval::analyser
