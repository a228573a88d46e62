// The one way the configuration engine talks to the user: a message with a text, a
// caption, an icon and a set of buttons, answered with the button pressed. The window
// implements it with message boxes; tests and the command line answer it themselves.
#pragma once

#include <string>

namespace qorval::applet {

enum class PromptIcon { None, Stop, Question, Warning, Information };
enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

struct Prompt {
    std::string text;
    std::string caption;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
};

class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    [[nodiscard]] virtual PromptAnswer Ask(const Prompt& prompt) = 0;
};

// An error box: stop icon, OK button.
void ShowError(UserPrompt& user, std::string text, std::string caption);

// A plain OK box without an icon.
void ShowMessage(UserPrompt& user, std::string text, std::string caption = {});

// A warning box with an OK button.
void ShowWarning(UserPrompt& user, std::string text, std::string caption);

// A question box with Yes and No; true when the answer is Yes.
[[nodiscard]] bool AskYesNo(UserPrompt& user, std::string text, std::string caption);

}  // namespace qorval::applet
