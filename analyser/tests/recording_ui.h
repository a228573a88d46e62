// A user interface that records every message, status text and capture window text, and
// answers the Select Driver/Port dialog with a preset choice.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analyser/user_interface.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::analyser::testing {

class RecordingView final : public CaptureView {
  public:
    void SetText(std::string_view text) override {
        text_ = std::string(text);
        ++updates_;
    }
    void Flush() override { ++flushes_; }
    std::string text_;
    int updates_ = 0;
    int flushes_ = 0;
};

class RecordingUi final : public AnalyserUi {
  public:
    MessageAnswer ShowMessage(const Message& message) override { return user.ShowMessage(message); }
    void ShowStatus(std::string_view text) override { user.ShowStatus(text); }
    std::optional<std::string> ChooseFile(const ui::FileChoice& choice) override {
        return user.ChooseFile(choice);
    }
    void RefreshMenu(const MenuState& state) override { menu = state; }
    CaptureView* OpenCaptureWindow() override;
    void CloseCaptureWindow() override { windowOpen = false; }
    std::optional<PortChoice> ChooseDriverPort(const SystemInfo& info) override;

    std::string LastStatus() const { return user.LastStatus(); }
    std::string LastMessage() const { return user.LastText(); }

    // Message boxes, status texts and file choices.
    ui::testing::RecordingUserMessages user;
    MenuState menu;
    RecordingView view;
    bool windowOpen = false;
    int windowsOpened = 0;
    std::optional<PortChoice> choice = PortChoice{QORVAL_DRIVER_WYVEL32, 1};
    int dialogsShown = 0;
};

}  // namespace qorval::analyser::testing
