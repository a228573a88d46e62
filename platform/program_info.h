#pragma once
// What every program of the suite answers to `--help` and `--version`.
//
// Each main calls AnswerInfoRequest before it parses its own arguments: `<program> --help`
// prints the summary and usage on standard output and `<program> --version` the suite's
// version, both exit 0. Anything else is the program's own business, and a usage error stays
// the program's (usage on standard error, exit 2).

#include <optional>
#include <ostream>
#include <string_view>

namespace qorval::platform {

struct ProgramInfo {
    std::string_view name;     // the program's file name, "kessup"
    std::string_view summary;  // what it is, one or more full sentences
    std::string_view usage;    // the program's usage text, "usage: kessup ..."
};

// The suite's version, the same for every program and the package.
std::string_view SuiteVersion();

// Answers a first argument of `--help` or `--version` (nothing may follow it) on `out` and
// gives the exit status; gives nothing when the arguments are the program's own.
std::optional<int> AnswerInfoRequest(const ProgramInfo& info, int argc, const char* const* argv,
                                     std::ostream& out);

}  // namespace qorval::platform
