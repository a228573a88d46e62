#include "platform/user_messages.h"

#include <utility>

namespace qorval::ui {
namespace {

MessageAnswer Show(UserMessages& user, std::string text, std::string caption, MessageIcon icon,
                   MessageButtons buttons) {
    return user.ShowMessage({std::move(text), std::move(caption), icon, buttons});
}

}  // namespace

void ShowError(UserMessages& user, std::string text, std::string caption) {
    Show(user, std::move(text), std::move(caption), MessageIcon::Stop, MessageButtons::Ok);
}

void ShowWarning(UserMessages& user, std::string text, std::string caption) {
    Show(user, std::move(text), std::move(caption), MessageIcon::Warning, MessageButtons::Ok);
}

void ShowInformation(UserMessages& user, std::string text, std::string caption) {
    Show(user, std::move(text), std::move(caption), MessageIcon::Information, MessageButtons::Ok);
}

void ShowPlain(UserMessages& user, std::string text, std::string caption) {
    Show(user, std::move(text), std::move(caption), MessageIcon::None, MessageButtons::Ok);
}

bool AskYesNo(UserMessages& user, std::string text, std::string caption) {
    return Show(user, std::move(text), std::move(caption), MessageIcon::Question,
                MessageButtons::YesNo) == MessageAnswer::Yes;
}

}  // namespace qorval::ui
