// What the analyser's dialogs share: their buttons, a file name edit with its Browse button,
// the value shown in a fixed-pitch font, and the box that refuses an entry.
#pragma once

#include <QWidget>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

class QDialog;
class QDialogButtonBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qorval::ui {
class UserMessages;
}

namespace qorval::analyser::dialogs {

// The buttons of the dialogs that stay open until they are closed.
inline constexpr const char* kGetCaption = "&Get";
inline constexpr const char* kSetCaption = "&Set";

// OK and Cancel ("okButton", "cancelButton"), wired to accept and reject.
QDialogButtonBox* MakeOkCancelButtons(QDialog& dialog);
// "&Close" ("closeButton"), wired to accept.
QPushButton* MakeCloseButton(QDialog& dialog);
// The buttons in a row at the bottom right.
QHBoxLayout* MakeButtonRow(std::initializer_list<QWidget*> buttons);
// A push button with its caption (accelerator included) and object name.
QPushButton* MakeButton(std::string_view caption, const char* objectName, QWidget* parent);
// A label holding a value: fixed pitch, so the padded formats ("%10lu") line up; selectable.
QLabel* MakeValueLabel(const std::string& text, const char* objectName, QWidget* parent);
// The caption and object name given to a control, such as a check box or a radio button.
template <typename Control>
Control* MakeControl(std::string_view caption, const char* objectName, QWidget* parent);

// An edit that holds a file name, with the Browse button beside it. The dialog connects the
// button; Browse runs the open-file dialog.
class FileNameRow : public QWidget {
  public:
    FileNameRow(std::string_view browseCaption, const char* editName, const char* browseName,
                QWidget* parent);

    QLineEdit& Edit() { return *edit_; }
    QPushButton& BrowseButton() { return *browse_; }
    std::string FileName() const;
    void SetFileName(const std::string& name);
    // The open-file dialog, starting from the edit's name: the chosen path replaces the edit's
    // text and is returned; nullopt when the user cancelled. `mustExist` false also takes the
    // name of a file not made yet.
    std::optional<std::string> Browse(ui::UserMessages& messages, bool mustExist);

  private:
    QLineEdit* edit_;
    QPushButton* browse_;
};

// Shows the refusal ("Please enter an integer between 0 and 255.") in the program's box, then
// gives the edit the focus with its text selected, so the user can correct it.
void RefuseEntry(ui::UserMessages& messages, QLineEdit& edit, const std::string& refusal);

// The edit's integer within [min, max]; otherwise the refusal is shown and nullopt returned.
std::optional<int64_t> TakeInteger(ui::UserMessages& messages, QLineEdit& edit, int64_t min,
                                   int64_t max);

}  // namespace qorval::analyser::dialogs
