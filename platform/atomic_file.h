// Whole-file reads and locked, atomic whole-file rewrites of files shared between processes.
//
// A writer takes an exclusive advisory lock (flock) on a sibling "<file>.lock", writes the new
// contents to a temporary file in the same folder, fsyncs it and renames it over the file, so a
// reader without the lock sees either the old or the new file, never a half-written one.
//
// When the file is a symbolic link, the lock and the temporary file go beside the file the link
// leads to and the rename replaces that file: the link stays a link and its target is updated.
// Files and folders created here are private to their owner (0600, 0700).
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::platform {

enum class FileReadStatus { Ok, Missing, TooLarge, Error };

// How long a writer waits for another writer's lock before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{3000};

// Reads the whole of `file` into `out`. Missing: the file does not exist (`out` is empty).
// TooLarge: the file holds more than `max_size` bytes. Error: any other failure; `error`
// then says what and names the file.
FileReadStatus ReadWholeFile(const std::filesystem::path& file, size_t max_size, std::string& out,
                             std::string& error);

// The exclusive advisory lock of one file, held while the object lives.
class FileLock {
  public:
    // Waits up to `wait` for the lock on "<file>.lock"; creates the lock file and its folder.
    // When the wait runs out, `error` names the lock file and, when the system can tell, the
    // process that holds it.
    static std::optional<FileLock> Acquire(const std::filesystem::path& file, std::string& error,
                                           std::chrono::milliseconds wait = kLockWait);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Replaces `file` (or the file its symbolic links lead to) by `contents` through a temporary
// file, fsync and rename; the caller holds the FileLock. An existing file keeps its permission
// bits, a new one is 0600. On failure the old file is untouched and `error` says why.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                       std::string& error);

// The file a write to `file` replaces: `file` itself, or the end of its chain of symbolic
// links (a dangling link leads to the file it names). Empty, with `error`, on a link loop.
std::filesystem::path WriteTarget(const std::filesystem::path& file, std::string& error);

}  // namespace qorval::platform
