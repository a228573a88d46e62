// Feeds arbitrary text to the macro parser as the lines of a macro file. Every input must give
// either steps whose targets are all resolved, or a diagnostic.
#include "analyser/macro_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = qorval::analyser::ParseMacro(
        [&]() -> std::optional<std::string> {
            if (text.empty()) {
                return std::nullopt;
            }
            const size_t end = text.find('\n');
            std::string line(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            return line;
        },
        [](const std::string&) {});
    if (result.ok) {
        if (result.steps.empty() || result.steps.back().opcode == 0) {
            std::abort();
        }
        for (const auto& step : result.steps) {
            if (!step.target.empty() &&
                (step.targetIndex < 0 ||
                 static_cast<size_t>(step.targetIndex) >= result.steps.size() ||
                 result.steps[static_cast<size_t>(step.targetIndex)].label != step.target)) {
                std::abort();
            }
        }
    } else if (result.error.empty() || !result.steps.empty()) {
        std::abort();
    }
    return 0;
}
