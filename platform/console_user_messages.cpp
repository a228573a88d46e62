#include "platform/console_user_messages.h"

#include <ostream>

namespace qorval::ui {

ConsoleUserMessages::ConsoleUserMessages(std::ostream& err, bool withCaption,
                                         std::optional<MessageAnswer> answerToQuestions)
    : err_(err), withCaption_(withCaption), answerToQuestions_(answerToQuestions) {}

MessageAnswer ConsoleUserMessages::ShowMessage(const Message& message) {
    if (withCaption_ && !message.caption.empty()) {
        err_ << message.caption << ": ";
    }
    err_ << message.text << '\n' << std::flush;
    switch (message.buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return answerToQuestions_.value_or(MessageAnswer::No);
        case MessageButtons::OkCancel:
        case MessageButtons::YesNoCancel:
            break;
    }
    return answerToQuestions_.value_or(MessageAnswer::Cancel);
}

}  // namespace qorval::ui
