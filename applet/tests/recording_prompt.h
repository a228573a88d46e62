// A UserPrompt for tests: records every prompt and answers from a scripted list (OK boxes
// answer Ok by themselves; a question with no scripted answer left fails the test).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "applet/user_prompt.h"

namespace qorval::applet::testing {

class RecordingPrompt final : public UserPrompt {
  public:
    RecordingPrompt() = default;
    explicit RecordingPrompt(std::initializer_list<PromptAnswer> answers) : answers_(answers) {}

    PromptAnswer Ask(const Prompt& prompt) override {
        prompts.push_back(prompt);
        if (prompt.buttons == PromptButtons::Ok) {
            return PromptAnswer::Ok;
        }
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: " << prompt.text;
            return PromptAnswer::No;
        }
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    bool AllAnswersUsed() const { return answers_.empty(); }

    std::vector<Prompt> prompts;

  private:
    std::deque<PromptAnswer> answers_;
};

}  // namespace qorval::applet::testing
