// A fresh directory of its own for one test or benchmark, removed with everything in it
// afterwards. Unique across processes, so suites running side by side in several build trees
// never share one.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace qorval::testing {

class TemporaryDirectory {
  public:
    // `stem` names the directory (stem_XXXXXX in the system's temporary directory).
    explicit TemporaryDirectory(std::string_view stem = "qorval") {
        std::string name =
            (std::filesystem::temp_directory_path() / (std::string(stem) + "_XXXXXX")).string();
        if (::mkdtemp(name.data()) != nullptr) {
            path_ = name;
        }
    }
    ~TemporaryDirectory() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // Empty when the directory could not be made.
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace qorval::testing
