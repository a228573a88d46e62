#pragma once
// Recording stand-ins for the terminal's user interface, for tests.

#include <cstdint>
#include <string>
#include <vector>

#include "terminal/terminal_session.h"
#include "terminal/user_interface.h"

namespace qorval::terminal::testing {

struct RecordingMessages : MessageSink {
    std::vector<std::string> messages;  // "caption|text"
    std::vector<std::string> statuses;
    MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageIcon,
                              MessageButtons) override {
        messages.push_back(std::string(caption) + "|" + std::string(text));
        return MessageAnswer::Ok;
    }
    void SetStatusText(std::string_view text) override { statuses.emplace_back(text); }
};

struct RecordingProgress : ProgressWindow {
    bool open = false;
    int opened = 0;
    int closed = 0;
    int percent = -1;
    std::string text;
    std::vector<int> percents;
    void Open(std::string_view, std::string_view t) override {
        open = true;
        ++opened;
        percent = 0;
        text = t;
    }
    void SetPercent(int p) override {
        percent = p;
        percents.push_back(p);
    }
    void SetText(std::string_view t) override { text = t; }
    void Close() override {
        open = false;
        ++closed;
    }
};

struct RecordingWindow : WindowHooks {
    bool dialog_ok = true;
    bool timer_ok = true;
    bool timer_running = true;
    bool enabled = true;
    int focused = 0;
    std::string title = "Vintor";
    std::vector<uint16_t> modem_words;
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
