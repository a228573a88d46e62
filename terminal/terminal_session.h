#pragma once
// The terminal's main-window logic without widgets: the port, the polling step, received text,
// typed characters with echo, the log file, text-file sending, the modem lines and the binary
// transfers. The window (or the command line) supplies the small interfaces and calls in.

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "portaccess/qorval_port.h"
#include "terminal/locked_file.h"
#include "terminal/port_watch.h"
#include "terminal/protocol.h"
#include "terminal/receive_losses.h"
#include "terminal/received_text.h"
#include "terminal/transfer_line.h"
#include "terminal/user_interface.h"

namespace qorval::terminal {

// The parts of the main window the engine drives.
class WindowHooks {
  public:
    virtual ~WindowHooks() = default;
    // The open-port dialog on `port`: true on OK (the port is selected, not opened).
    virtual bool ShowOpenPortDialog(Qorval_Port& port) = 0;
    virtual void EnableMainWindow(bool enable) = 0;
    virtual void FocusTextArea() = 0;
    // The 100 ms polling timer (2002); false when it cannot be created.
    virtual bool StartPollTimer() = 0;
    virtual void StopPollTimer() = 0;
    virtual void SetTitle(std::string_view title) = 0;
    // The modem toolbar's six buttons from the modem control word.
    virtual void ShowModemLines(uint16_t word) = 0;
    // The engine closed the port on its own (it had gone): menus and toolbars follow.
    virtual void PortClosed() {}
    // The "Protocol Selection" dialog; nullopt when it was cancelled. A front end without one
    // cancels.
    virtual std::optional<Protocol> ChooseProtocol() { return std::nullopt; }
};

class TerminalSession {
  public:
    TerminalSession(UserMessages& messages, ProgressWindow& progress, WindowHooks& window,
                    TextArea& text, DispatchMessages dispatch);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    Qorval_Port& Port() { return port_; }
    CancelFlag& Cancel() { return cancel_; }

    // "Port Open..." / "Port Close": closes an open port; else the dialog, then Open.
    void PortOpenCommand();
    // How "Port Close" and "Exit" run the port's close, which may take seconds while the frames
    // queued leave the card; empty (at first): on the calling thread.
    void SetCloseRunner(PortCloseRunner run) { close_runner_ = std::move(run); }
    // Opens the selected port and reads its PortInfo and PortState; false when it did not open.
    bool OpenSelectedPort();
    uint16_t LargestTransmitFrame() const { return tx_frame_; }

    // One tick of the polling timer: received text, then the modem lines. At most `budget`
    // bytes are taken in one tick (the rest waits for the next), so text arriving at the line's
    // full rate cannot hold the window in one tick. Frames lost on receipt are counted and
    // shown in the status bar, and marked in the log; the log is written out every tick. A port
    // found gone is closed (see PortLost).
    void PollTick(size_t budget = std::numeric_limits<size_t>::max());
    // A character typed into the text area.
    void TypeChar(char c);

    bool OpenLog(const std::string& path);
    void CloseLog();
    bool Logging() const { return log_ != nullptr; }
    std::string Title() const;

    void SetEcho(bool on) { echo_ = on; }
    bool Echo() const { return echo_; }
    void SetDownloadDirectory(std::string dir) { download_dir_ = std::move(dir); }
    const std::string& DownloadDirectory() const { return download_dir_; }

    // Modem toolbar: each press drives the line to the opposite of what the button shows.
    void DtrButton(bool shown_pressed);
    void RtsButton(bool shown_pressed);

    // "Transmit Text File...": the file as it is, in chunks of the largest transmit frame.
    TransferOutcome TransmitTextFile(const std::string& path);
    // "Transmit Bin File...".
    TransferOutcome SendBinFile(Protocol protocol, const std::string& path);
    // "Receive Bin File...": XMODEM writes `target`; YMODEM ignores it and places each file of
    // the batch in the download directory.
    TransferOutcome ReceiveBinFile(Protocol protocol, const std::string& target);

    // The menu commands with their dialogs (terminal_commands.cpp): each asks for what it
    // needs through the message interface and the window hooks, then runs.
    // Nothing is done when the driver host cannot be reached, after saying how to start it;
    // false then.
    bool CheckDriverHost();
    void OpenLogCommand();
    void TransmitTextFileCommand();
    void TransmitBinFileCommand();
    void ReceiveBinFileCommand();

    // Whether the port was closed because it had gone (the driver host died or the port was
    // removed), after saying so; cleared when a port opens again.
    bool PortLost() const { return watch_.Lost(); }

    // The progress window's Cancel button.
    void CancelTransfer() { cancel_.store(true, std::memory_order_relaxed); }

    // The window closes: timer stopped, port closed, logging stopped.
    void Shutdown();

  private:
    template <typename Body>
    TransferOutcome RunTransfer(bool receiving, Body body);
    TransferUi Ui() { return TransferUi{messages_, progress_, cancel_, dispatch_, &watch_}; }
    void ShowError(std::string_view text);
    void Dispatch();
    bool SendTextChunk(LockedFile& file, std::vector<uint8_t>& chunk, size_t length);
    // Counts a failed read as a lost frame when it is one, marking it in the log; false for
    // any other result.
    bool CountLoss(uint32_t result);
    // The port has gone: it is closed, the modem lines show nothing, and the user is told why
    // and what to do, once.
    void ClosePortLost();
    // The cancel flag was set by the progress window's Cancel (which took the window away),
    // not by a port that went.
    bool CancelledByUser() const { return cancel_.load(std::memory_order_relaxed) && !PortLost(); }

    UserMessages& messages_;
    ProgressWindow& progress_;
    WindowHooks& window_;
    TextArea& text_;
    DispatchMessages dispatch_;
    Qorval_Port port_;
    CancelFlag cancel_{false};
    PortWatch watch_{port_, cancel_};
    uint16_t tx_frame_ = 0;
    PortCloseRunner close_runner_;
    ReceiveLosses losses_;
    std::string download_dir_ = ".";
    bool echo_ = false;
    std::FILE* log_ = nullptr;
    std::string log_name_;
};

}  // namespace qorval::terminal
