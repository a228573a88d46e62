#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qorval::platform {
namespace {

OpenedFile Refused(const std::filesystem::path& path, const std::string& why) {
    OpenedFile result;
    result.problem = path.string() + ": " + why;
    return result;
}

OpenedFile NotRegular(const std::filesystem::path& path, mode_t mode) {
    return Refused(path, S_ISLNK(mode) ? "a symbolic link, which is not followed for writing"
                                       : "not a regular file");
}

int FlagsFor(FileUse use) {
    // O_NONBLOCK: whatever is at the name by the time of the open, the open returns at once.
    const int always = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    switch (use) {
        case FileUse::Read:
            return always | O_RDONLY;
        case FileUse::Write:
        case FileUse::Truncate:
            return always | O_WRONLY | O_CREAT | O_NOFOLLOW;
        case FileUse::Append:
            return always | O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW;
    }
    return always | O_RDONLY;
}

}  // namespace

OpenedFile OpenRegularFile(const std::filesystem::path& path, FileUse use, mode_t mode) {
    const bool creates = use != FileUse::Read;
    // Look first, so that a FIFO or a device is never opened at all.
    struct stat seen {};
    const int looked = creates ? ::lstat(path.c_str(), &seen) : ::stat(path.c_str(), &seen);
    if (looked == 0 && !S_ISREG(seen.st_mode)) {
        return NotRegular(path, seen.st_mode);
    }
    if (looked != 0 && (errno != ENOENT || !creates)) {
        OpenedFile result = Refused(path, std::strerror(errno));
        result.missing = errno == ENOENT;
        return result;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), FlagsFor(use), mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A link or a FIFO put at the name since we looked.
        if (errno == ELOOP && creates) {
            return NotRegular(path, S_IFLNK);
        }
        if (errno == ENXIO) {
            return NotRegular(path, S_IFIFO);
        }
        OpenedFile result = Refused(path, std::strerror(errno));
        result.missing = errno == ENOENT && !creates;
        return result;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return NotRegular(path, opened.st_mode);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0 ||
        (use == FileUse::Truncate && ::ftruncate(fd, 0) != 0)) {
        const int error = errno;
        ::close(fd);
        return Refused(path, std::strerror(error));
    }
    OpenedFile result;
    result.fd = fd;
    return result;
}

std::FILE* OpenRegularStream(const std::filesystem::path& path, FileUse use, std::string* problem,
                             mode_t mode) {
    OpenedFile opened = OpenRegularFile(path, use, mode);
    if (opened.fd < 0) {
        *problem = std::move(opened.problem);
        return nullptr;
    }
    const char* stdio_mode = use == FileUse::Read ? "rb" : use == FileUse::Append ? "ab" : "wb";
    // fdopen never truncates: "wb" only says the stream writes.
    std::FILE* stream = ::fdopen(opened.fd, stdio_mode);
    if (stream == nullptr) {
        *problem = path.string() + ": " + std::strerror(errno);
        ::close(opened.fd);
    }
    return stream;
}

std::FILE* OpenPipeOrRegularStream(const std::filesystem::path& path, std::string* problem) {
    struct stat seen {};
    if (::stat(path.c_str(), &seen) != 0 || !S_ISFIFO(seen.st_mode)) {
        return OpenRegularStream(path, FileUse::Truncate, problem);
    }
    int fd;
    do {
        // O_NONBLOCK: with no reader the open fails (ENXIO) instead of waiting for one.
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *problem = path.string() + ": " +
                   (errno == ENXIO ? std::string("no reader has the FIFO open")
                                   : std::string(std::strerror(errno)));
        return nullptr;
    }
    struct stat opened {};
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &opened) != 0 || !S_ISFIFO(opened.st_mode)) {
        ::close(fd);
        *problem = path.string() + ": not a FIFO or a regular file";
        return nullptr;
    }
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        *problem = path.string() + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        *problem = path.string() + ": " + std::strerror(errno);
        ::close(fd);
    }
    return stream;
}

}  // namespace qorval::platform
