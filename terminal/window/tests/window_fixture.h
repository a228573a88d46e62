#pragma once
// The terminal's window over the fake port access library: ports 1 and 2 of the adapter driver,
// the window made and shown, and helpers that drive its menus and modal dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "portaccess/fake/fake_library.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/window/vintor_window.h"

class QWidget;

namespace qorval::terminal::window::testing {

class VintorWindowTest : public ::testing::Test {
  protected:
    static constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

    void SetUp() override;
    void TearDown() override;

    QAction* Item(const char* name);
    // Triggers a menu item as a click does (its command runs before this returns).
    void Trigger(const char* name);
    // "Port Open..." and "Open" in the "Open Port" dialog (port 1 is the first listed).
    void OpenPortFromMenu();
    // Queues the choice of `path` in the next file dialog, checking its filter's first label.
    static void ChooseInNextFileDialog(const QString& path, const QString& first_filter,
                                       std::function<void(QWidget*)> next = nullptr);
    // The text the window shows.
    QString Shown() const;

    fake::FakeLibrary& fake = fake::FakeLibrary::Instance();
    terminal::testing::TempDir dir;
    std::unique_ptr<VintorWindow> window;
};

// Calls `check` on every pass of the event loop (also inside a running command's dispatching)
// until it returns true; a bound fails the test instead of hanging.
void WhileRunning(std::function<bool()> check, int bound_ms = 20000);

}  // namespace qorval::terminal::window::testing
