// The one way every engine of the suite talks to its user: message boxes with a text, a
// caption, an icon and buttons; the status bar's text; a progress window; the choice of a file.
// The engines stay free of any toolkit: the windows implement this interface with Qt
// (platform/window/qt_user_messages.h), the command lines with plain text, the tests with a
// recording fake (platform/testing/recording_user_messages.h).
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::ui {

enum class MessageIcon { None, Information, Question, Warning, Stop };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // The button Enter presses; the first of the buttons when not given.
    std::optional<MessageAnswer> defaultAnswer;
};

// A window with a caption, a text, a bar from 0 to 100 percent and a Cancel button. The Cancel
// button sets the cancel flag the window was made with and takes the window away itself, so an
// engine closes the window only while that flag is clear.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    virtual void Open(std::string_view caption, std::string_view text) = 0;  // at 0 percent
    virtual void SetPercent(int percent) = 0;
    virtual void SetText(std::string_view text) = 0;
    virtual void Close() = 0;
};

// Set by a progress window's Cancel button (or an interrupt on a command line); read by the
// long operation it belongs to.
using CancelFlag = std::atomic<bool>;

enum class FileChoiceMode { Open, Save, Directory };

// A common file dialog. `filter` has the form "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"
// (see file_filter.h); `defaultExtension` ("txt", no dot) is added to a saved name that has
// none; `initialPath` is a file or folder to start from. An open dialog with `mustExist` false
// also takes the name of a file that does not exist yet (a log file to be made), without the
// question a save dialog asks about a file that does.
struct FileChoice {
    FileChoiceMode mode = FileChoiceMode::Open;
    std::string caption;
    std::string filter;
    std::string defaultExtension;
    std::string initialPath;
    bool mustExist = true;
};

class UserMessages {
  public:
    virtual ~UserMessages() = default;
    // Shows a modal message box and returns the button pressed.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
    // The text of the status bar's first pane.
    virtual void ShowStatus(std::string_view text) = 0;
    // The chosen path, or nullopt when the user cancelled.
    virtual std::optional<std::string> ChooseFile(const FileChoice& choice) = 0;
};

// The usual boxes, so call sites read like what they show.
void ShowError(UserMessages& user, std::string_view text, std::string_view caption);  // stop, OK
void ShowWarning(UserMessages& user, std::string_view text,
                 std::string_view caption);  // warning, OK
void ShowInformation(UserMessages& user, std::string_view text,
                     std::string_view caption);  // info, OK
void ShowPlain(UserMessages& user, std::string_view text,
               std::string_view caption = {});  // no icon, OK
// Question icon with Yes and No; true when the answer is Yes.
[[nodiscard]] bool AskYesNo(UserMessages& user, std::string_view text, std::string_view caption);

}  // namespace qorval::ui
