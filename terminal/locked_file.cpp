#include "terminal/locked_file.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/regular_file.h"

namespace qorval::terminal {

LockedFile::LockedFile(LockedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

LockedFile::~LockedFile() {
    Close();
}

void LockedFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<LockedFile> LockedFile::OpenForReading(const std::string& path) {
    const int fd = platform::OpenRegularFile(path, platform::FileUse::Read).fd;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    return LockedFile(fd, static_cast<uint64_t>(st.st_size));
}

std::optional<LockedFile> LockedFile::CreateForWriting(const std::string& path) {
    // Not emptied on opening: the file is emptied only once the lock is ours.
    const int fd = platform::OpenRegularFile(path, platform::FileUse::Write, 0644).fd;
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    return LockedFile(fd, 0);
}

bool LockedFile::ReadExact(uint8_t* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, buffer + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool LockedFile::WriteAll(const uint8_t* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
        size_ += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace qorval::terminal
