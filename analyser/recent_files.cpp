#include "analyser/recent_files.h"

#include <algorithm>

#include "platform/profile.h"

namespace qorval::analyser {
namespace {

constexpr const char* kSection = "Recent File List";

std::string KeyName(size_t index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

void RecentFileList::Load(const platform::ProfileFile& profile) {
    paths_.clear();
    for (size_t i = 0; i < kSize; ++i) {
        std::string path = profile.GetString(kSection, KeyName(i), "");
        // An empty or repeated entry (a hand-edited profile) takes no place in the menu.
        if (!path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end()) {
            paths_.push_back(std::move(path));
        }
    }
}

void RecentFileList::Save(platform::ProfileFile& profile) const {
    for (size_t i = 0; i < kSize; ++i) {
        if (i < paths_.size()) {
            (void)profile.WriteString(kSection, KeyName(i), paths_[i]);
        } else {
            (void)profile.WriteString(kSection, KeyName(i), std::nullopt);
        }
    }
}

void RecentFileList::Add(const std::string& path) {
    Remove(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kSize) {
        paths_.resize(kSize);
    }
}

void RecentFileList::Remove(const std::string& path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

}  // namespace qorval::analyser
