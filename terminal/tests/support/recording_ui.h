#pragma once
// Recording stand-ins for the terminal's user interface, for tests.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/testing/recording_user_messages.h"
#include "terminal/terminal_session.h"
#include "terminal/user_interface.h"

namespace qorval::terminal::testing {

// Every box and status text, letter for letter; boxes answer OK.
struct RecordingMessages : ui::testing::RecordingUserMessages {
    // "caption|text" of every box shown, in order.
    std::vector<std::string> CaptionTexts() const {
        std::vector<std::string> out;
        for (const ui::Message& m : shown) {
            out.push_back(m.caption + "|" + m.text);
        }
        return out;
    }
};

using RecordingProgress = ui::testing::RecordingProgressWindow;

// One side of a transfer with its own port and recording user interface.
struct TransferSide {
    explicit TransferSide(uint16_t number) : port(QORVAL_DRIVER_WYVEL32, number) {}
    Qorval_Port port;
    RecordingMessages messages;
    RecordingProgress progress;
    CancelFlag cancel{false};
    TransferUi Ui() { return TransferUi{messages, progress, cancel, {}}; }
};

struct RecordingWindow : WindowHooks {
    bool dialog_ok = true;
    bool timer_ok = true;
    bool timer_running = true;
    bool enabled = true;
    int focused = 0;
    std::string title = "Vintor";
    std::vector<uint16_t> modem_words;
    std::optional<Protocol> protocol;  // the "Protocol Selection" answer; none cancels
    std::optional<Protocol> ChooseProtocol() override { return protocol; }
    bool ShowOpenPortDialog(Qorval_Port& port) override {
        port.SelectPort(QORVAL_DRIVER_WYVEL32, 1);
        return dialog_ok;
    }
    void EnableMainWindow(bool enable) override { enabled = enable; }
    void FocusTextArea() override { ++focused; }
    bool StartPollTimer() override {
        timer_running = timer_ok;
        return timer_ok;
    }
    void StopPollTimer() override { timer_running = false; }
    void SetTitle(std::string_view t) override { title = t; }
    void ShowModemLines(uint16_t word) override { modem_words.push_back(word); }
};

}  // namespace qorval::terminal::testing
