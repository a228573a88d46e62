#include "platform/program_info.h"

#include <string>

#ifndef QORVAL_VERSION
#error "QORVAL_VERSION is set by the build from the project's version"
#endif

namespace qorval::platform {
namespace {

constexpr std::string_view kHelpOption = "--help";
constexpr std::string_view kVersionOption = "--version";

// Writes `text` and makes sure it ends with exactly one line end.
void WriteLines(std::ostream& out, std::string_view text) {
    while (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    out << text << '\n';
}

}  // namespace

std::string_view SuiteVersion() {
    return QORVAL_VERSION;
}

std::optional<int> AnswerInfoRequest(const ProgramInfo& info, int argc, const char* const* argv,
                                     std::ostream& out) {
    if (argc != 2) {
        return std::nullopt;
    }
    const std::string_view option = argv[1];
    if (option == kHelpOption) {
        WriteLines(out, info.usage);
        out << '\n';
        WriteLines(out, info.summary);
        out << "\n  --help     show this text and exit\n"
               "  --version  show the version and exit\n\n"
               "The manual page tells more: man "
            << info.name << '\n';
    } else if (option == kVersionOption) {
        out << info.name << " (Qorval suite) " << SuiteVersion() << '\n';
    } else {
        return std::nullopt;
    }
    out.flush();
    return out ? 0 : 1;
}

}  // namespace qorval::platform
