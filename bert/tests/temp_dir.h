#pragma once
// A fresh directory of its own for one test, removed afterwards; unique across processes, so
// suites running side by side in several build trees never share one.

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace qorval::bert::testing {

class TempDir {
  public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "kessup_XXXXXX").string();
        if (::mkdtemp(name.data()) != nullptr) {
            path_ = name;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace qorval::bert::testing
