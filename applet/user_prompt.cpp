#include "applet/user_prompt.h"

#include <utility>

namespace qorval::applet {

void ShowError(UserPrompt& user, std::string text, std::string caption) {
    (void)user.Ask({std::move(text), std::move(caption), PromptIcon::Stop, PromptButtons::Ok});
}

void ShowMessage(UserPrompt& user, std::string text, std::string caption) {
    (void)user.Ask({std::move(text), std::move(caption), PromptIcon::None, PromptButtons::Ok});
}

void ShowWarning(UserPrompt& user, std::string text, std::string caption) {
    (void)user.Ask({std::move(text), std::move(caption), PromptIcon::Warning, PromptButtons::Ok});
}

bool AskYesNo(UserPrompt& user, std::string text, std::string caption) {
    return user.Ask({std::move(text), std::move(caption), PromptIcon::Question,
                     PromptButtons::YesNo}) == PromptAnswer::Yes;
}

}  // namespace qorval::applet
