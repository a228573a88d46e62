// The REGEDIT4 text form of the registry tree: parser and writer.
//
// The text is the file a person can read, edit and import on Windows: a "REGEDIT4" line, a
// blank line, then for every key a "[HKEY_LOCAL_MACHINE\...]" line followed by its values
// ("Name"=dword:0000007e, "Name"="text", "Name"=hex:01,02, "Name"=hex(N):.., @= for the default
// value) and a blank line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/reg_tree.h"

namespace qorval::platform {

struct RegParseError {
    size_t line = 0;   // 1-based line of the fault
    std::string what;  // e.g. "bad hex digit"
};

// Parses a whole file into `root` (the HKEY_LOCAL_MACHINE key). On failure `root` is left in
// an unspecified state and `error` names the first bad line.
[[nodiscard]] bool ParseRegFile(std::string_view text, RegKey& root, RegParseError& error);

// Writes the tree with CR LF line ends; parents come before their children.
std::string WriteRegFile(const RegKey& root);

}  // namespace qorval::platform
