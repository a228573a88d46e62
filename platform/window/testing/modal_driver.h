// Drives modal windows from a window test. A modal dialog or message box runs its own event
// loop, so the test queues what it will do to the window before opening it: `WhenModal` calls
// `action` with the first modal window that appears, from inside that window's event loop.
// Nothing sleeps: a zero-interval timer looks for the window on every pass of the loop, and a
// generous bound fails the test instead of hanging when no window ever comes.
#pragma once

#include <QWidget>
#include <functional>

class QMessageBox;

namespace qorval::ui::testing {

void WhenModal(std::function<void(QWidget*)> action, int boundMs = 10000);

// Presses `button` (QMessageBox::StandardButton) on the next message box and records its
// caption, text and icon in `seen` (if given).
struct SeenMessageBox {
    QString caption, text;
    int icon = -1;
    int buttons = 0;  // QMessageBox::StandardButtons
};
void AnswerNextMessageBox(int button, SeenMessageBox* seen = nullptr);
// As above, then `next` with the modal window that is up once the box has gone (the dialog the
// box was shown over, or the one that opens after it).
void AnswerNextMessageBox(int button, SeenMessageBox* seen, std::function<void(QWidget*)> next);

}  // namespace qorval::ui::testing
