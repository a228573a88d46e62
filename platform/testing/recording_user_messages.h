// Recording stand-ins for the user interface, for tests of engines and windows: every message
// box, status text, file dialog and progress window is recorded letter for letter and answered
// from a script, so a test never blocks on a modal box.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace qorval::ui::testing {

class RecordingUserMessages : public UserMessages {
  public:
    RecordingUserMessages() = default;
    // Answers for the boxes that ask something, in order.
    explicit RecordingUserMessages(std::initializer_list<MessageAnswer> answers)
        : answers_(answers) {}

    // A box with only an OK button answers Ok by itself. A box that asks takes the next
    // scripted answer; with none left the test fails and the box answers its negative button.
    MessageAnswer ShowMessage(const Message& message) override {
        shown.push_back(message);
        if (message.buttons == MessageButtons::Ok) {
            return MessageAnswer::Ok;
        }
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: \"" << message.text << "\"";
            return message.buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                            : MessageAnswer::Cancel;
        }
        const MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
    // Takes the next scripted file; with none left the dialog is cancelled.
    std::optional<std::string> ChooseFile(const FileChoice& choice) override {
        fileChoices.push_back(choice);
        if (files_.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> file = files_.front();
        files_.pop_front();
        return file;
    }

    void Answer(MessageAnswer answer) { answers_.push_back(answer); }
    void ChooseNext(std::optional<std::string> file) { files_.push_back(std::move(file)); }
    bool AllAnswersUsed() const { return answers_.empty(); }

    // The texts of every box shown, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Message& m : shown) {
            texts.push_back(m.text);
        }
        return texts;
    }
    std::string LastText() const { return shown.empty() ? std::string{} : shown.back().text; }
    std::string LastStatus() const { return statuses.empty() ? std::string{} : statuses.back(); }

    std::vector<Message> shown;
    std::vector<std::string> statuses;
    std::vector<FileChoice> fileChoices;

  private:
    std::deque<MessageAnswer> answers_;
    std::deque<std::optional<std::string>> files_;
};

// A progress window that records what it was told.
class RecordingProgressWindow : public ProgressWindow {
  public:
    void Open(std::string_view c, std::string_view t) override {
        open = true;
        ++opened;
        percent = 0;
        caption = c;
        text = t;
    }
    void SetPercent(int p) override {
        percent = p;
        percents.push_back(p);
    }
    void SetText(std::string_view t) override { text = t; }
    void Close() override {
        open = false;
        ++closed;
    }

    bool open = false;
    int opened = 0;
    int closed = 0;
    int percent = -1;
    std::string caption;
    std::string text;
    std::vector<int> percents;
};

}  // namespace qorval::ui::testing
