#pragma once
// The "Port Information" dialog window: the Port Info texts, the Port State edit fields and
// drop-down lists, and the data rate, over PortStateForm.

#include <QDialog>
#include <array>

#include "dialogs/port_state_form.h"
#include "platform/window/qt_user_messages.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qorval::dialogs {

class PortStateWindow : public QDialog {
    Q_OBJECT
  public:
    explicit PortStateWindow(Qorval_Port* port, QWidget* parent = nullptr);

    // As the window opens: the capability mask enables the Port State controls.
    void Prepare();

  private:
    void Connect();
    void ShowTexts();
    void OnTextChanged(StateField field, const QString& text);
    void OnOk();

    PortStateForm form_;
    ui::QtUserMessages messages_{this};
    std::array<QLabel*, kInfoFieldCount> infoTexts_{};
    // One of the two per field: an edit field or a drop-down list.
    std::array<QLineEdit*, kStateFieldCount> edits_{};
    std::array<QComboBox*, kStateFieldCount> lists_{};
    QLabel* dataRate_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

}  // namespace qorval::dialogs
