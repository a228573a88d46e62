// Whole-file reads and locked, atomic whole-file rewrites of files shared between processes.
//
// A writer takes an exclusive advisory lock (flock) on a sibling "<file>.lock", writes the new
// contents to a temporary file in the same folder, fsyncs it and renames it over the file, so a
// reader without the lock sees either the old or the new file, never a half-written one.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::platform {

enum class FileReadStatus { Ok, Missing, TooLarge, Error };

// Reads the whole of `file` into `out`. Missing: the file does not exist (`out` is empty).
// TooLarge: the file holds more than `max_size` bytes. Error: any other failure; `error`
// then says what and names the file.
FileReadStatus ReadWholeFile(const std::filesystem::path& file, size_t max_size, std::string& out,
                             std::string& error);

// The exclusive advisory lock of one file, held while the object lives.
class FileLock {
  public:
    // Blocks until the lock on "<file>.lock" is held; creates the lock file and its folder.
    static std::optional<FileLock> Acquire(const std::filesystem::path& file, std::string& error);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Replaces `file` by `contents` through a temporary file, fsync and rename; the caller holds
// the FileLock. An existing file keeps its permission bits. On failure the old file is
// untouched and `error` says why.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                       std::string& error);

}  // namespace qorval::platform
