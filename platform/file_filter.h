// The filter of a common file dialog, written as the programs write it:
// "Log Files (*.log) | *.log | All Files (*.*) | *.* ||" — pairs of a label and a pattern list
// (patterns separated by ';'), every item ended by '|', the list ended by an empty label.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorval::ui {

struct FileFilterEntry {
    std::string label;                  // as shown, e.g. "All Files (*.*)"
    std::vector<std::string> patterns;  // as matched on this system, e.g. {"*"}
};

// Splits a filter into its entries. Blanks around items are dropped. "*.*" means every file, as
// it does where the programs come from, so it becomes "*" (a name without a dot matches too).
// An entry without patterns, or text after the ending "||", is ignored.
std::vector<FileFilterEntry> ParseFileFilter(std::string_view filter);

}  // namespace qorval::ui
