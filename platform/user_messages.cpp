#include "platform/user_messages.h"

namespace qorval::ui {
namespace {

MessageAnswer Show(UserMessages& user, std::string_view text, std::string_view caption,
                   MessageIcon icon, MessageButtons buttons) {
    return user.ShowMessage({std::string(text), std::string(caption), icon, buttons, {}});
}

}  // namespace

void ShowError(UserMessages& user, std::string_view text, std::string_view caption) {
    Show(user, text, caption, MessageIcon::Stop, MessageButtons::Ok);
}

void ShowWarning(UserMessages& user, std::string_view text, std::string_view caption) {
    Show(user, text, caption, MessageIcon::Warning, MessageButtons::Ok);
}

void ShowInformation(UserMessages& user, std::string_view text, std::string_view caption) {
    Show(user, text, caption, MessageIcon::Information, MessageButtons::Ok);
}

void ShowPlain(UserMessages& user, std::string_view text, std::string_view caption) {
    Show(user, text, caption, MessageIcon::None, MessageButtons::Ok);
}

bool AskYesNo(UserMessages& user, std::string_view text, std::string_view caption) {
    return Show(user, text, caption, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

}  // namespace qorval::ui
