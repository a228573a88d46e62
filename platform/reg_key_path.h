// Key paths of the registry store: which forms name a key below HKEY_LOCAL_MACHINE.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorval::platform {

inline constexpr std::string_view kHklmRootName = "HKEY_LOCAL_MACHINE";

// Splits a key path into its names below HKEY_LOCAL_MACHINE. Accepted forms, any letter case:
// "System\X", "HKEY_LOCAL_MACHINE\System\X", "HKLM\System\X" and the kernel's
// "\Registry\Machine\System\X"; one trailing backslash is ignored. An empty result names the
// root itself. Returns false with a reason for an empty name, a name that is too long or holds
// a control character, or a path deeper than the limit.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names, std::string& error);

// Splits the names of a path that is already known to be below the root ("System\X").
bool SplitRelativeKeyPath(std::string_view path, std::vector<std::string_view>& names,
                          std::string& error);

}  // namespace qorval::platform
