#pragma once
// The "Open Port" dialog window: two list boxes and the Port Info texts over OpenPortModel.

#include <QDialog>

#include "dialogs/open_port_model.h"
#include "platform/window/qt_user_messages.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace qorval::dialogs {

class OpenPortWindow : public QDialog {
    Q_OBJECT
  public:
    explicit OpenPortWindow(QWidget* parent = nullptr);

    // Fills the lists as the dialog opens; tells the user when no driver host answers.
    void Prepare();
    const OpenPortModel& Model() const { return model_; }

  private:
    void Connect();
    void OnDriverChanged(int row);
    void OnPortChanged(int row);
    void OnOpen();
    void ShowDrivers();
    void ShowPorts();
    void ShowInfo();

    OpenPortModel model_;
    ui::QtUserMessages messages_{this};
    QListWidget* driverList_;
    QListWidget* portList_;
    QLabel *card_, *address_, *channel_, *available_;
    QPushButton* openButton_;
    QPushButton* cancelButton_;
};

}  // namespace qorval::dialogs
