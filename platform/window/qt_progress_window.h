// The progress window of long operations: a caption, a text, a bar and a Cancel button. Cancel
// sets the cancel flag the window was made with and hides the window; the operation notices the
// flag between its steps (it dispatches the window's messages there).
#pragma once

#include <QDialog>

#include "platform/user_messages.h"

class QLabel;
class QProgressBar;

namespace qorval::ui {

class QtProgressWindow final : public QDialog, public ProgressWindow {
    Q_OBJECT
  public:
    QtProgressWindow(CancelFlag& cancel, QWidget* parent);

    void Open(std::string_view caption, std::string_view text) override;
    void SetPercent(int percent) override;
    void SetText(std::string_view text) override;
    void Close() override;

  protected:
    // Escape and the window's close button count as Cancel.
    void reject() override;

  private:
    CancelFlag& cancel_;
    QLabel* text_;
    QProgressBar* bar_;
};

}  // namespace qorval::ui
