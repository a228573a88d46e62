#include "analyser/macro_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qorval::analyser {
namespace {

struct Parsed {
    MacroParseResult result;
    std::vector<std::string> statuses;
};

Parsed Parse(std::vector<std::string> lines) {
    Parsed parsed;
    size_t next = 0;
    parsed.result = ParseMacro(
        [&]() -> std::optional<std::string> {
            if (next == lines.size()) {
                return std::nullopt;
            }
            return lines[next++];
        },
        [&](const std::string& text) { parsed.statuses.push_back(text); });
    return parsed;
}

std::string ErrorOf(std::vector<std::string> lines) {
    const Parsed parsed = Parse(std::move(lines));
    EXPECT_FALSE(parsed.result.ok);
    return parsed.result.error;
}

TEST(MacroParser, EmptyOrCommentOnlyFileIsOneStop) {
    for (const auto& lines : {std::vector<std::string>{}, {"; nothing", "", "   ;GET 1"}}) {
        const Parsed parsed = Parse(lines);
        ASSERT_TRUE(parsed.result.ok);
        ASSERT_EQ(parsed.result.steps.size(), 1u);
        EXPECT_EQ(parsed.result.steps[0].opcode, kOpStop);
        EXPECT_EQ(parsed.result.steps[0].operand1, 0);
    }
}

TEST(MacroParser, LowerCaseParsesAsUpperCaseButStatusShowsTheLineAsWritten) {
    const Parsed parsed = Parse({"loop: get 1", "goto loop"});
    ASSERT_TRUE(parsed.result.ok) << parsed.result.error;
    EXPECT_EQ(parsed.result.steps[0].label, "LOOP");
    EXPECT_EQ(parsed.result.steps[0].opcode, kOpGet);
    EXPECT_EQ(parsed.result.steps[1].targetIndex, 0);
    EXPECT_EQ(parsed.statuses[0], "LINE: 1 - loop: get 1");
    EXPECT_EQ(parsed.statuses[1], "LINE: 2 - goto loop");
}

TEST(MacroParser, SemicolonStartsACommentAnywhere) {
    std::string line = "  GET 5;wait";
    EXPECT_EQ(NextToken(line), "GET");
    EXPECT_EQ(NextToken(line), "5");
    EXPECT_EQ(NextToken(line), "");
    EXPECT_EQ(line, "");

    const Parsed parsed = Parse({"GET 5;wait"});
    ASSERT_TRUE(parsed.result.ok);
    EXPECT_EQ(parsed.result.steps[0].operand1, 5);
    EXPECT_EQ(ErrorOf({"GET;5"}), "GET: Missing count on line 1 at:  - Aborting");
}

struct StepCase {
    const char* line;
    uint16_t opcode;
    int16_t operand1;
    int16_t operand2;
};

TEST(MacroParser, StatementsFillTheirStep) {
    const StepCase cases[] = {
        {"STOP", kOpStop, 0, 0},
        {"GET 3", kOpGet, 3, 0},
        {"SEND -2", kOpSend, -2, 0},
        {"SKIP 12AB", kOpSkip, 12, 0},  // digits read, the rest ignored
        {"IF 4 65 L", kOpIfEqual, 4, 65},
        {"IFE 0 0 L", kOpIfEqual, 0, 0},
        {"IFNE 1 2 L", kOpIfNotEqual, 1, 2},
        {"IFLT 1 255 L", kOpIfLess, 1, 255},
        {"IFGT 1 2 L", kOpIfGreater, 1, 2},
        {"IFLE 1 2 L", kOpIfLessOrEqual, 1, 2},
        {"IFGE +1 2 L", kOpIfGreaterOrEqual, 1, 2},
        {"GOTO L", kOpGoto, 0, 0},
        {"RESETB RX", kOpResetBuffers, 1, 0},
        {"RESETB S", kOpResetBuffers, 2, 0},
        {"RESETB TRANSMIT", kOpResetBuffers, 3, 0},  // contains both R and S
        {"XMITCC 255", kOpTransmitCommChar, 255, 0},
        {"SETMODEM 3 1", kOpSetModem, 3, 1},
        {"SETMODEM 65537 -1", kOpSetModem, 1, -1},  // stored in 16 bits
        {"SETPORT 12 -5", kOpSetPort, 12, -5},
        {"SETNODE 0", kOpSetNode, 0, 0},
        {"COPY RS X", kOpCopy, kCopyReceiveToTransmit, 0},  // extra tokens ignored
        {"COPY SR", kOpCopy, kCopyTransmitToReceive, 0},
    };
    for (const StepCase& c : cases) {
        const Parsed parsed = Parse({c.line, "L:"});
        ASSERT_TRUE(parsed.result.ok) << c.line << ": " << parsed.result.error;
        const MacroStep& step = parsed.result.steps[0];
        EXPECT_EQ(step.opcode, c.opcode) << c.line;
        EXPECT_EQ(step.operand1, c.operand1) << c.line;
        EXPECT_EQ(step.operand2, c.operand2) << c.line;
        EXPECT_EQ(step.counter, 0) << c.line;
        EXPECT_EQ(step.targetIndex, step.target.empty() ? -1 : 1) << c.line;
    }
}

struct DiagnosticCase {
    const char* line;
    const char* message;  // for line 2
};

TEST(MacroParser, EveryDiagnosticNamesItsLineAndToken) {
    const DiagnosticCase cases[] = {
        {"IFEQ 0 1 L", "SYNTAX Error on line 2 at: IFEQ - Aborting"},
        {"get", "GET: Missing count on line 2 at:  - Aborting"},
        {"GET x", "GET: Invalid count on line 2 at: X - Aborting"},
        {"SEND", "SEND: Missing count on line 2 at:  - Aborting"},
        {"SEND -", "SEND: Invalid count on line 2 at: - - Aborting"},
        {"SKIP", "SKIP: Missing count on line 2 at:  - Aborting"},
        {"SKIP A1", "SKIP: Invalid count on line 2 at: A1 - Aborting"},
        {"IF", "IF: Missing buffer offset on line 2 at:  - Aborting"},
        {"IFGT Q 1 L", "IF: Invalid buffer offset on line 2 at: Q - Aborting"},
        {"IF 0", "IF: Missing compare value on line 2 at:  - Aborting"},
        {"IF 0 256 L", "IF: Invalid compare value on line 2 at: 256 - Aborting"},
        {"IF 0 -1 L", "IF: Invalid compare value on line 2 at: -1 - Aborting"},
        {"IFNE 0 1 ;L", "IF: Missing target on line 2 at:  - Aborting"},
        {"GOTO", "GOTO: Missing target on line 2 at:  - Aborting"},
        {"RESETB", "RESETB: Missing buffer specification on line 2 at:  - Aborting"},
        {"RESETB X", "RESETB: Invalid buffer specification on line 2 at: X - Aborting"},
        {"XMITCC", "XMITCC: Missing character on line 2 at:  - Aborting"},
        {"XMITCC 256", "XMITCC: Invalid character on line 2 at: 256 - Aborting"},
        {"SETMODEM", "SETMODEM: Missing control mask on line 2 at:  - Aborting"},
        {"SETMODEM M", "SETMODEM: Invalid control mask on line 2 at: M - Aborting"},
        {"SETMODEM 1", "SETMODEM: Missing control values on line 2 at:  - Aborting"},
        {"SETMODEM 1 V", "SETMODEM: Invalid control values on line 2 at: V - Aborting"},
        {"SETPORT", "SETPORT: Missing state variable specification on line 2 at:  - Aborting"},
        {"SETPORT 13 1",
         "SETPORT: Invalid state variable specification on line 2 at: 13 - Aborting"},
        {"SETPORT 0 1", "SETPORT: Invalid state variable specification on line 2 at: 0 - Aborting"},
        {"SETPORT 1", "SETPORT: Missing state value on line 2 at:  - Aborting"},
        {"SETPORT 1 Z", "SETPORT: Invalid state value on line 2 at: Z - Aborting"},
        {"SETNODE", "SETNODE: Missing node address on line 2 at:  - Aborting"},
        {"SETNODE -1", "SETNODE: Invalid node address on line 2 at: -1 - Aborting"},
        {"COPY", "COPY: Missing buffer specification on line 2 at:  - Aborting"},
        {"COPY R", "COPY: Invalid buffer specification on line 2 at: R - Aborting"},
    };
    for (const DiagnosticCase& c : cases) {
        EXPECT_EQ(ErrorOf({"; first line", c.line, "GET ?"}), c.message) << c.line;
    }
}

TEST(MacroParser, AnOverlongLineIsCutInEveryMessage) {
    const std::string huge(1 << 20, 'x');
    const std::string shown = std::string(80, 'X') + "...";
    const Parsed syntax = Parse({huge});
    EXPECT_EQ(syntax.result.error, "SYNTAX Error on line 1 at: " + shown + " - Aborting");
    EXPECT_EQ(syntax.statuses[0], "LINE: 1 - " + std::string(80, 'x') + "...");
    EXPECT_EQ(ErrorOf({"GET " + huge}), "GET: Invalid count on line 1 at: " + shown + " - Aborting");
    EXPECT_EQ(ErrorOf({"GOTO " + huge}), "Could not find label: " + shown + ". Aborting execution!");
    // A token of exactly the limit is shown whole; a cut never splits a UTF-8 character.
    EXPECT_EQ(ErrorOf({std::string(80, 'Q')}),
              "SYNTAX Error on line 1 at: " + std::string(80, 'Q') + " - Aborting");
    EXPECT_EQ(ErrorOf({std::string(79, 'Q') + "\xC3\xA9" + huge}),
              "SYNTAX Error on line 1 at: " + std::string(79, 'Q') + "... - Aborting");
}

TEST(MacroParser, LabelsResolveBeforeAndAfterUse) {
    const Parsed parsed = Parse({"START: GET 1", "IF 0 1 LATER", "GOTO START", "LATER:", "SEND 1"});
    ASSERT_TRUE(parsed.result.ok) << parsed.result.error;
    ASSERT_EQ(parsed.result.steps.size(), 5u);
    EXPECT_EQ(parsed.result.steps[1].targetIndex, 3);  // the label on its own line names SEND
    EXPECT_EQ(parsed.result.steps[2].targetIndex, 0);
    EXPECT_EQ(parsed.result.steps[4].opcode, kOpStop);
}

TEST(MacroParser, UndefinedLabelFailsOnlyAfterEveryLineWasRead) {
    const Parsed parsed = Parse({"GOTO NOWHERE", "GET 1", "SEND 1"});
    EXPECT_FALSE(parsed.result.ok);
    EXPECT_EQ(parsed.result.error, "Could not find label: NOWHERE. Aborting execution!");
    EXPECT_EQ(parsed.statuses.back(), "LINE: 3 - SEND 1");
    EXPECT_TRUE(parsed.result.steps.empty());
}

TEST(MacroParser, OnlyTheLastOfConsecutiveLabelsNamesTheStatement) {
    EXPECT_EQ(ErrorOf({"FIRST:", "SECOND:", "GET 1", "GOTO FIRST"}),
              "Could not find label: FIRST. Aborting execution!");
    const Parsed parsed = Parse({"FIRST:", "SECOND:", "GET 1", "GOTO SECOND"});
    ASSERT_TRUE(parsed.result.ok);
    EXPECT_EQ(parsed.result.steps[1].targetIndex, 0);
}

TEST(MacroParser, LabelAfterTheLastStatementNamesTheFinalStop) {
    const Parsed parsed = Parse({"GOTO END", "GET 1", "END:"});
    ASSERT_TRUE(parsed.result.ok);
    ASSERT_EQ(parsed.result.steps.size(), 3u);
    EXPECT_EQ(parsed.result.steps[0].targetIndex, 2);
    EXPECT_EQ(parsed.result.steps[2].opcode, kOpStop);
    EXPECT_EQ(parsed.result.steps[2].label, "END");
}

TEST(MacroParser, NumbersSaturateInsteadOfOverflowing) {
    EXPECT_EQ(ParseMacroNumber("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseMacroNumber("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseMacroNumber("+"), std::nullopt);
    EXPECT_EQ(ErrorOf({"", "IF 0 4294967296 L"}),
              "IF: Invalid compare value on line 2 at: 4294967296 - Aborting");
}

}  // namespace
}  // namespace qorval::analyser
