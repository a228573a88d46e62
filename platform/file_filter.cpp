#include "platform/file_filter.h"

namespace qorval::ui {
namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// The next '|'-ended item of `rest`, trimmed; `rest` moves past it.
std::string_view NextItem(std::string_view& rest) {
    const auto bar = rest.find('|');
    const std::string_view item = rest.substr(0, bar);
    rest = bar == std::string_view::npos ? std::string_view{} : rest.substr(bar + 1);
    return Trim(item);
}

std::vector<std::string> SplitPatterns(std::string_view list) {
    std::vector<std::string> patterns;
    while (!list.empty()) {
        const auto semicolon = list.find(';');
        const std::string_view pattern = Trim(list.substr(0, semicolon));
        if (pattern == "*.*") {
            patterns.emplace_back("*");
        } else if (!pattern.empty()) {
            patterns.emplace_back(pattern);
        }
        list =
            semicolon == std::string_view::npos ? std::string_view{} : list.substr(semicolon + 1);
    }
    return patterns;
}

}  // namespace

std::vector<FileFilterEntry> ParseFileFilter(std::string_view filter) {
    std::vector<FileFilterEntry> entries;
    std::string_view rest = filter;
    while (!rest.empty()) {
        const std::string_view label = NextItem(rest);
        if (label.empty()) {
            break;  // "||": the end of the list
        }
        std::vector<std::string> patterns = SplitPatterns(NextItem(rest));
        if (!patterns.empty()) {
            entries.push_back({std::string(label), std::move(patterns)});
        }
    }
    return entries;
}

}  // namespace qorval::ui
