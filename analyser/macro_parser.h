// The macro language: a line-oriented programme of upper- or lower-case statements, labels
// ending in ":" and comments after ";" anywhere. ParseMacro turns its lines into steps or
// gives the first diagnostic, exactly as the analyser shows it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analyser/macro_step.h"

namespace qorval::analyser {

// Removes and returns the next token of `line`. Separators are space, tab, ";" and line feed;
// a ";" in the separators before a token makes the rest of the line a comment (empty token).
std::string NextToken(std::string& line);

// The number at the start of a token: optional sign and decimal digits, anything after the
// digits ignored; nullopt when the token does not start with one. Saturates at the 32-bit range.
std::optional<int32_t> ParseMacroNumber(const std::string& token);

struct MacroParseResult {
    bool ok = false;
    std::vector<MacroStep> steps;  // on success; the last step is the final STOP
    std::string error;             // on failure: the message to show
};

// Reads lines (without their line end) until nextLine returns nullopt. status receives
// "LINE: %d - %s" for each line as read.
MacroParseResult ParseMacro(const std::function<std::optional<std::string>()>& nextLine,
                            const std::function<void(const std::string&)>& status);

}  // namespace qorval::analyser
