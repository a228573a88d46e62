#include "terminal/terminal_session.h"

#include <vector>

#include "platform/regular_file.h"
#include "portaccess/port_loss.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace qorval::terminal {
namespace {

constexpr const char* kTitle = "Vintor";
constexpr const char* kTitleLogging = "Vintor - %s";
constexpr const char* kOpenPortFailed = "Unable to open Quint port";
constexpr const char* kPortInfoFailed = "Unable to get Quint port info: %d";
constexpr const char* kLogOpenFailed = "Failed to open file!";
constexpr const char* kProgressText = "Transferring File...";
constexpr const char* kWriteError = "Error writing to port: %d";
constexpr const char* kTimerFailed = "Unable to recreate polling timer!!";
constexpr const char* kNoTxFrame =
    "Unable to send text file: the port's largest transmit frame is 0 bytes.";

constexpr uint32_t kGetBlockSeconds = 1;
// A line of nothing but damaged frames still ends the tick after this many.
constexpr int kMaxLossesPerTick = 1024;

}  // namespace

TerminalSession::TerminalSession(UserMessages& messages, ProgressWindow& progress,
                                 WindowHooks& window, TextArea& text, DispatchMessages dispatch)
    : messages_(messages),
      progress_(progress),
      window_(window),
      text_(text),
      dispatch_(std::move(dispatch)) {}

TerminalSession::~TerminalSession() {
    CloseLog();
}

void TerminalSession::ShowError(std::string_view text) {
    ui::ShowError(messages_, text, kCaption);
}

void TerminalSession::Dispatch() {
    if (dispatch_) {
        dispatch_();
    }
}

void TerminalSession::PortOpenCommand() {
    if (port_.IsOpen()) {
        tx_frame_ = 0;
        port_.Close(close_runner_);
        return;
    }
    if (window_.ShowOpenPortDialog(port_)) {
        OpenSelectedPort();
    }
}

bool TerminalSession::OpenSelectedPort() {
    if (port_.Open() != 0) {
        ShowError(kOpenPortFailed);
        return false;
    }
    losses_.Reset();
    watch_.Clear();
    PortInfo info{};
    PortState state{};
    uint32_t result = port_.GetPortInfo(info);
    if (result == 0) {
        result = port_.GetPortState(state);
    }
    if (result != 0) {
        messages_.ShowStatus(Format(kPortInfoFailed, static_cast<int>(result)));
    } else {
        tx_frame_ = info.maxTxFrame;
    }
    return true;
}

void TerminalSession::PollTick(size_t budget) {
    if (!port_.IsOpen()) {
        return;
    }
    std::vector<uint8_t> piece;
    size_t taken = 0;
    int lost = 0;
    while (taken < budget && port_.IsOpen()) {
        // The port object drops a frame that comes with an error; it is counted here. A port
        // that has gone is told apart first: its results are not losses of the line.
        uint32_t result = 0;
        if (!port_.Poll(result)) {
            if (watch_.Check(result)) {
                ClosePortLost();
                break;
            }
            if (CountLoss(result) && ++lost < kMaxLossesPerTick) {
                continue;
            }
            break;
        }
        const uint32_t waiting = port_.BytesWaiting();
        piece.resize(waiting);
        uint32_t got = 0;
        port_.GetBlock(piece.data(), waiting, got, kGetBlockSeconds);
        if (got == 0) {
            break;
        }
        ShowReceivedPiece(text_, {reinterpret_cast<const char*>(piece.data()), got}, log_);
        taken += got;
        Dispatch();
    }
    if (lost > 0) {
        messages_.ShowStatus(losses_.StatusText());
    }
    if (log_ != nullptr) {
        std::fflush(log_);  // what arrived reaches the file within a tick
    }
    if (!port_.IsOpen()) {
        return;
    }
    // A word that cannot be read shows every line off rather than the last state read.
    uint16_t word = 0;
    const uint32_t result = port_.GetModemControl(word);
    window_.ShowModemLines(result == 0 ? word : 0);
    if (watch_.Check(result)) {
        ClosePortLost();
    }
}

bool TerminalSession::CountLoss(uint32_t result) {
    const auto cause = losses_.Count(result);
    if (!cause) {
        return false;
    }
    if (log_ != nullptr) {
        const std::string marker = ReceiveLosses::LogMarker(*cause);
        std::fwrite(marker.data(), 1, marker.size(), log_);
    }
    return true;
}

void TerminalSession::ClosePortLost() {
    if (!port_.IsOpen()) {
        return;  // closed already by whoever saw it first
    }
    const std::string text = PortLossMessage(watch_.Loss(), port_.GetPortNumber());
    port_.Close();
    tx_frame_ = 0;
    window_.ShowModemLines(0);
    window_.PortClosed();
    ui::ShowWarning(messages_, text, kCaption);
}

void TerminalSession::TypeChar(char c) {
    if (port_.IsOpen() && watch_.Check(port_.PutByte(static_cast<uint8_t>(c)))) {
        ClosePortLost();
    }
    if (echo_) {
        text_.Type(c);
    }
}

bool TerminalSession::OpenLog(const std::string& path) {
    CloseLog();
    std::string problem;
    log_ = platform::OpenRegularStream(path, platform::FileUse::Truncate, &problem);
    if (log_ == nullptr) {
        log_name_.clear();
        ShowError(kLogOpenFailed);
        return false;
    }
    log_name_ = path;
    window_.SetTitle(Title());
    return true;
}

void TerminalSession::CloseLog() {
    if (log_ == nullptr) {
        return;
    }
    std::fflush(log_);
    std::fclose(log_);
    log_ = nullptr;
    log_name_.clear();
    window_.SetTitle(Title());
}

std::string TerminalSession::Title() const {
    return log_name_.empty() ? std::string(kTitle) : Format(kTitleLogging, log_name_.c_str());
}

void TerminalSession::DtrButton(bool shown_pressed) {
    port_.SetDTR(!shown_pressed);
}

void TerminalSession::RtsButton(bool shown_pressed) {
    port_.SetRTS(!shown_pressed);
}

bool TerminalSession::SendTextChunk(LockedFile& file, std::vector<uint8_t>& chunk, size_t length) {
    if (!file.ReadExact(chunk.data(), length)) {
        ShowError(kFileReadFailed);
        return false;
    }
    // The chunk waits for free transmit buffers with the window alive, as long as PutBlock
    // would; a Cancel meanwhile, or a port that has gone, ends it without a word here.
    const uint32_t result = PutBytes(port_, Ui(), chunk.data(), static_cast<uint32_t>(length));
    if (cancel_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (result != 0) {
        ShowError(Format(kWriteError, static_cast<int>(result)));
        return false;
    }
    return true;
}

TransferOutcome TerminalSession::TransmitTextFile(const std::string& path) {
    if (tx_frame_ == 0) {
        ShowError(kNoTxFrame);
        return TransferOutcome::Failed;
    }
    auto file = LockedFile::OpenForReading(path);
    if (!file) {
        ShowError(kFileOpenFailed);
        return TransferOutcome::Failed;
    }
    window_.EnableMainWindow(false);
    cancel_.store(false, std::memory_order_relaxed);
    progress_.Open(kCaption, kProgressText);

    const size_t chunk_size = tx_frame_;
    const uint64_t chunks = file->Size() / chunk_size;
    const size_t rest = static_cast<size_t>(file->Size() % chunk_size);
    std::vector<uint8_t> chunk(chunk_size);
    bool ok = true;
    for (uint64_t i = 0; ok && i < chunks && !cancel_.load(std::memory_order_relaxed); ++i) {
        ok = SendTextChunk(*file, chunk, chunk_size);
        if (ok) {
            progress_.SetPercent(static_cast<int>(i * 100 / chunks));
            Dispatch();
        }
    }
    if (ok && !cancel_.load(std::memory_order_relaxed) && rest != 0) {
        ok = SendTextChunk(*file, chunk, rest);
        if (ok) {
            progress_.SetPercent(100);
        }
    }
    const bool cancelled = CancelledByUser();
    if (!cancelled) {
        progress_.Close();
    }
    file->Close();
    window_.EnableMainWindow(true);
    window_.FocusTextArea();
    if (PortLost()) {
        ClosePortLost();
        return TransferOutcome::Failed;
    }
    if (cancelled) {
        return TransferOutcome::Cancelled;
    }
    return ok ? TransferOutcome::Succeeded : TransferOutcome::Failed;
}

template <typename Body>
TransferOutcome TerminalSession::RunTransfer(bool receiving, Body body) {
    window_.EnableMainWindow(false);
    cancel_.store(false, std::memory_order_relaxed);
    progress_.Open(kCaption, kProgressText);
    window_.StopPollTimer();
    port_.DiscardInput();

    const TransferOutcome outcome = body();

    if (!CancelledByUser()) {
        progress_.Close();
    }
    if (!window_.StartPollTimer()) {
        ShowError(kTimerFailed);
    }
    window_.EnableMainWindow(true);
    if (receiving || outcome == TransferOutcome::Succeeded) {
        window_.FocusTextArea();
    }
    if (PortLost()) {
        // The transfer stopped as after a Cancel; now the port goes and the user hears why.
        ClosePortLost();
        return TransferOutcome::Failed;
    }
    return outcome;
}

TransferOutcome TerminalSession::SendBinFile(Protocol protocol, const std::string& path) {
    return RunTransfer(false, [&] {
        auto file = LockedFile::OpenForReading(path);
        if (!file) {
            ShowError(kFileOpenFailed);
            return TransferOutcome::Failed;
        }
        const TransferUi ui = Ui();
        XmodemSender sender(port_, ui, protocol);
        return sender.Run(*file, path);
    });
}

TransferOutcome TerminalSession::ReceiveBinFile(Protocol protocol, const std::string& target) {
    return RunTransfer(true, [&] {
        const TransferUi ui = Ui();
        XmodemReceiver receiver(port_, ui, protocol);
        return receiver.Run(IsYmodem(protocol) ? download_dir_ : target);
    });
}

void TerminalSession::Shutdown() {
    window_.StopPollTimer();
    if (port_.IsOpen()) {
        port_.Close(close_runner_);
    }
    CloseLog();
}

}  // namespace qorval::terminal
