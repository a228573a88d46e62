#include "platform/reg_tree.h"

#include <algorithm>

#include "platform/text_util.h"

namespace qorval::platform {
namespace {

template <class Key>
auto FindSubkeyIn(Key& key, std::string_view name) -> decltype(&key.subkeys.front()) {
    for (auto& sub : key.subkeys) {
        if (RegNamesEqual(sub.name, name)) {
            return &sub;
        }
    }
    return nullptr;
}

// Erases the first item whose name matches; returns whether there was one.
template <class Item>
bool EraseByName(std::vector<Item>& items, std::string_view name) {
    auto it = std::find_if(items.begin(), items.end(),
                           [&](const Item& item) { return RegNamesEqual(item.name, name); });
    if (it == items.end()) {
        return false;
    }
    items.erase(it);
    return true;
}

}  // namespace

bool operator==(const RegValue& a, const RegValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

bool RegNamesEqual(std::string_view a, std::string_view b) {
    return EqualsNoCase(a, b);
}

bool RegNameLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) <
               static_cast<unsigned char>(AsciiLower(y));
    });
}

std::optional<std::string> KeyNameProblem(std::string_view name) {
    if (name.empty()) {
        return "empty key name";
    }
    if (name.size() > kMaxRegNameLength) {
        return "key name longer than 255 characters";
    }
    for (char c : name) {
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            return "key name with a backslash or control character";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ValueNameProblem(std::string_view name) {
    if (name.size() > kMaxRegNameLength) {
        return "value name longer than 255 characters";
    }
    if (name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) {
        return "value name with a zero byte or line break";
    }
    return std::nullopt;
}

const RegKey* FindSubkey(const RegKey& key, std::string_view name) {
    return FindSubkeyIn(key, name);
}

RegKey* FindSubkey(RegKey& key, std::string_view name) {
    return FindSubkeyIn(key, name);
}

RegKey& AddSubkey(RegKey& key, std::string_view name, bool* created) {
    auto pos = std::lower_bound(
        key.subkeys.begin(), key.subkeys.end(), name,
        [](const RegKey& sub, std::string_view n) { return RegNameLess(sub.name, n); });
    const bool exists = pos != key.subkeys.end() && RegNamesEqual(pos->name, name);
    if (created != nullptr) {
        *created = !exists;
    }
    if (exists) {
        return *pos;
    }
    RegKey fresh;
    fresh.name = std::string(name);
    return *key.subkeys.insert(pos, std::move(fresh));
}

bool RemoveSubkey(RegKey& key, std::string_view name) {
    return EraseByName(key.subkeys, name);
}

const RegValue* FindValue(const RegKey& key, std::string_view name) {
    for (const auto& value : key.values) {
        if (RegNamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void PutValue(RegKey& key, RegValue value) {
    for (auto& existing : key.values) {
        if (RegNamesEqual(existing.name, value.name)) {
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool RemoveValue(RegKey& key, std::string_view name) {
    return EraseByName(key.values, name);
}

}  // namespace qorval::platform
