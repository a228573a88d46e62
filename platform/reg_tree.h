// The in-memory tree behind the registry store, and the rules for names in it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qorval::platform {

// Longest key or value name, largest value, deepest key path.
inline constexpr size_t kMaxRegNameLength = 255;
inline constexpr size_t kMaxRegValueSize = 1024 * 1024;
inline constexpr size_t kMaxRegKeyDepth = 512;

struct RegKey {
    std::string name;              // as created
    std::vector<RegValue> values;  // in creation order
    std::vector<RegKey> subkeys;   // in name order, without regard to case

    bool operator==(const RegKey&) const = default;
};

bool operator==(const RegValue& a, const RegValue& b);

// ASCII letters compare without regard to case; every other byte exactly.
bool RegNamesEqual(std::string_view a, std::string_view b);
bool RegNameLess(std::string_view a, std::string_view b);

// Why a name cannot be a key name (empty, too long, a backslash or control character), or
// nullopt when it can.
std::optional<std::string> KeyNameProblem(std::string_view name);
// Why a name cannot be a value name (too long, a zero byte or line break), or nullopt.
std::optional<std::string> ValueNameProblem(std::string_view name);

const RegKey* FindSubkey(const RegKey& key, std::string_view name);
RegKey* FindSubkey(RegKey& key, std::string_view name);
// Returns the existing subkey of that name or inserts a new one in name order.
RegKey& AddSubkey(RegKey& key, std::string_view name, bool* created = nullptr);
bool RemoveSubkey(RegKey& key, std::string_view name);

const RegValue* FindValue(const RegKey& key, std::string_view name);
// Replaces type and data of an existing value (keeping its name and place) or appends it.
void PutValue(RegKey& key, RegValue value);
bool RemoveValue(RegKey& key, std::string_view name);

}  // namespace qorval::platform
