#pragma once
// "Options" ("Program Options..."): echo off or on, and the download directory.

#include <QDialog>
#include <string>

class QLineEdit;
class QRadioButton;

namespace qorval::ui {
class UserMessages;
}

namespace qorval::terminal::window {

class OptionsDialog final : public QDialog {
    Q_OBJECT
  public:
    OptionsDialog(bool echo, const std::string& download_dir, ui::UserMessages& messages,
                  QWidget* parent);

    // The values taken at OK.
    bool Echo() const { return echo_; }
    const std::string& DownloadDirectory() const { return download_dir_; }

    void accept() override;

  private:
    ui::UserMessages& messages_;
    QRadioButton* echo_on_;
    QLineEdit* directory_;
    bool echo_;
    std::string download_dir_;
};

}  // namespace qorval::terminal::window
