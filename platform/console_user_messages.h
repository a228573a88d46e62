// The user interface of the command lines: every message box goes to standard error (or the
// stream given) as one line, flushed at once; a box that asks something takes the answer given
// at construction (by default its negative button, so nothing is changed without a user);
// status texts are kept, not printed; no file can be chosen.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/user_messages.h"

namespace qorval::ui {

class ConsoleUserMessages : public UserMessages {
  public:
    // `withCaption`: "caption: text" instead of the text alone.
    explicit ConsoleUserMessages(std::ostream& err, bool withCaption = false,
                                 std::optional<MessageAnswer> answerToQuestions = std::nullopt);

    MessageAnswer ShowMessage(const Message& message) override;
    void ShowStatus(std::string_view text) override { lastStatus_ = text; }
    std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }

    const std::string& LastStatus() const { return lastStatus_; }

  private:
    std::ostream& err_;
    bool withCaption_;
    std::optional<MessageAnswer> answerToQuestions_;
    std::string lastStatus_;
};

}  // namespace qorval::ui
