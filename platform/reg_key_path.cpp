#include "platform/reg_key_path.h"

#include "platform/reg_tree.h"

namespace qorval::platform {
namespace {

constexpr std::string_view kKernelMachinePrefix = "\\Registry\\Machine";
constexpr std::string_view kHklmShortName = "HKLM";

// Removes `prefix` (matched without regard to case) when it is the whole of `path` or is
// followed by a backslash.
bool StripRoot(std::string_view& path, std::string_view prefix) {
    if (path.size() < prefix.size() || !RegNamesEqual(path.substr(0, prefix.size()), prefix)) {
        return false;
    }
    std::string_view rest = path.substr(prefix.size());
    if (!rest.empty() && rest.front() != '\\') {
        return false;
    }
    path = rest.empty() ? rest : rest.substr(1);
    return true;
}

}  // namespace

bool SplitRelativeKeyPath(std::string_view path, std::vector<std::string_view>& names,
                          std::string& error) {
    names.clear();
    if (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    if (path.empty()) {
        return true;
    }
    size_t start = 0;
    while (true) {
        const size_t end = path.find('\\', start);
        std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (auto problem = KeyNameProblem(name)) {
            error = *problem;
            return false;
        }
        if (names.size() == kMaxRegKeyDepth) {
            error = "key path deeper than 512 levels";
            return false;
        }
        names.push_back(name);
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names, std::string& error) {
    if (!StripRoot(path, kKernelMachinePrefix) && !StripRoot(path, kHklmRootName)) {
        (void)StripRoot(path, kHklmShortName);
    }
    return SplitRelativeKeyPath(path, names, error);
}

}  // namespace qorval::platform
