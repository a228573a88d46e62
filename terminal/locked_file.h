#pragma once
// A file opened for a transfer: read under a shared lock (nobody may write it meanwhile) or
// created for writing under an exclusive lock. Only a regular file is opened, never blocking on
// a FIFO or device at the name (platform/regular_file.h). Closed when the object goes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qorval::terminal {

class LockedFile {
  public:
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    // An existing regular file, for reading.
    static std::optional<LockedFile> OpenForReading(const std::string& path);
    // Created, or an existing file emptied. A symbolic link at `path` is refused, so neither a
    // name sent by the far end nor a link planted in a shared folder leads the write elsewhere.
    static std::optional<LockedFile> CreateForWriting(const std::string& path);

    uint64_t Size() const { return size_; }
    // Reads exactly `count` bytes; false on an error or a short read.
    bool ReadExact(uint8_t* buffer, size_t count);
    // Writes all `count` bytes; false on an error.
    bool WriteAll(const uint8_t* data, size_t count);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    explicit LockedFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace qorval::terminal
