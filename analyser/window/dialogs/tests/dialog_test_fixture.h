// What the dialog tests share: the engine over the fake library (port 1 and 2 of Wyvel32), the
// recording message interface the dialogs' own boxes and file choices go to, a window for the
// dialogs to open over, and the way to drive a modal dialog from inside its event loop.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analyser/tests/engine_fixture.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::analyser::testing {

// Thrown by Find when the dialog has no such control; WhenDialog catches it (a test body's
// exception is reported by GoogleTest).
struct MissingControl : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <typename T>
T& Find(QWidget& root, const char* objectName) {
    T* control = root.findChild<T*>(objectName);
    if (control == nullptr) {
        ADD_FAILURE() << "no control named " << objectName;
        throw MissingControl(objectName);
    }
    return *control;
}

// Runs `action` on the next modal dialog, inside its event loop. The action must end the dialog
// (OK, Cancel, Close); one that leaves it open fails the test and the dialog is cancelled, so
// a failed check never leaves a modal window hanging.
void WhenDialog(std::function<void(QDialog&)> action);

// For commands that must open no dialog: while it lives, any modal window that appears is
// closed and counted, so a wrong dialog fails the test instead of waiting for ever.
class NoDialogGuard {
  public:
    NoDialogGuard();
    ~NoDialogGuard();
    NoDialogGuard(const NoDialogGuard&) = delete;
    NoDialogGuard& operator=(const NoDialogGuard&) = delete;
    int Closed() const { return closed_; }

  private:
    QTimer* timer_;
    int closed_ = 0;
};

// The text of a line edit, label or button as UTF-8.
std::string Text(QWidget& control);

class DialogTest : public EngineTest {
  protected:
    // The values the library was given by the calls of `function` since the log was cleared,
    // in order ("QORVAL_SetModemControl(1,17)" gives "17"; a call with only a handle "").
    static std::vector<std::string> CallValues(std::string_view function);

    ui::testing::RecordingUserMessages messages_;
    QWidget parent_;
};

}  // namespace qorval::analyser::testing
