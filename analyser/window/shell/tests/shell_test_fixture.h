// What the main window tests share: the fake library with Wyvel32 ports 1 and 2 wired as a
// pair, a temporary folder for the profile and the files, and a main window whose boxes,
// status texts and file dialogs are recorded. The test plays the far end on port 2.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "analyser/tests/engine_fixture.h"
#include "analyser/window/shell/child_frame.h"
#include "analyser/window/shell/main_frame.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::analyser::testing {

class ShellTest : public ::testing::Test {
  protected:
    static constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

    void SetUp() override;
    void TearDown() override;
    static fake::FakeLibrary& Fake() { return fake::FakeLibrary::Instance(); }

    // A main window on the test's profile, its engine started.
    std::unique_ptr<CMainFrame> MakeFrame();
    // Select Driver/Port from the menu, choosing port 1 in the dialog.
    void SelectPort1();
    void Trigger(QAction* action);
    // Puts a frame on the line from the far end (port 2).
    void SendFromFarEnd(std::string_view bytes);
    // What the far end received.
    std::vector<std::string> ReceivedAtFarEnd();
    // Runs the event loop until `done` or a generous bound.
    static bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }
    // The capture window's text (empty without one), once what waits has been appended.
    std::string CaptureText();
    std::filesystem::path WriteFile(const std::string& name, const std::string& content);
    // Shows the main window, gives `widget` the focus and types `keys` through the platform's
    // key input, as a user at the keyboard would.
    void Type(QWidget& widget, const QString& keys);
    void PressKey(QWidget& widget, Qt::Key key);

    std::filesystem::path dir_;
    ui::testing::RecordingUserMessages messages_;
    std::unique_ptr<CMainFrame> frame_;
    QORVAL_HANDLE farEnd_ = 0;
};

}  // namespace qorval::analyser::testing
