// The recent-file list of the File menu: at most four paths, newest first, kept in the
// profile's "Recent File List" section as "File1" to "File4".
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qorval::platform {
class ProfileFile;
}

namespace qorval::analyser {

class RecentFileList {
  public:
    static constexpr size_t kSize = 4;

    void Load(const platform::ProfileFile& profile);
    void Save(platform::ProfileFile& profile) const;
    // The path moves to the top; a path already listed (by its full name) is not listed twice.
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Paths() const { return paths_; }

  private:
    std::vector<std::string> paths_;
};

}  // namespace qorval::analyser
