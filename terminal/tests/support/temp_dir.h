#pragma once
// A fresh directory for one test, removed with everything in it afterwards, and file helpers.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qorval::terminal::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
// Bytes that differ from block to block, so a lost or repeated block shows.
std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1);

}  // namespace qorval::terminal::testing
