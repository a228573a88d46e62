// The windows' implementation of the engines' user interface: message boxes with the caption,
// icon and buttons asked for, the first pane of a status bar, and the common file dialogs.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <string_view>

#include "platform/user_messages.h"

class QStatusBar;
class QWidget;

namespace qorval::ui {

class QtUserMessages : public UserMessages {
  public:
    // `parent` owns the boxes (they are modal over it); `statusBar` may be null (status texts are
    // then dropped) or be set later, once the main window has made it.
    explicit QtUserMessages(QWidget* parent, QStatusBar* statusBar = nullptr);

    void SetStatusBar(QStatusBar* statusBar);

    MessageAnswer ShowMessage(const Message& message) override;
    void ShowStatus(std::string_view text) override;
    std::optional<std::string> ChooseFile(const FileChoice& choice) override;

  private:
    QPointer<QWidget> parent_;
    QPointer<QStatusBar> statusBar_;
};

// The texts of the suite are plain 8-bit strings; the windows show them as UTF-8.
QString ToQString(std::string_view text);
std::string FromQString(const QString& text);

// A common-dialog filter ("Log Files (*.log) | *.log | All Files (*.*) | *.* ||") as the name
// filters of a QFileDialog that hides their details: each label is shown as written and matches
// the patterns it stands for ("*.*" is every file).
QStringList ToNameFilters(std::string_view filter);

}  // namespace qorval::ui
