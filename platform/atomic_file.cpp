#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/lock_holder.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace qorval::platform {
namespace {

constexpr std::string_view kLockSuffix = ".lock";
constexpr std::string_view kTempInfix = ".tmp.";
constexpr mode_t kNewFileMode = 0600;
// As many links as the kernel follows in one path before it reports a loop.
constexpr int kMaxLinkHops = 40;
// How often a waiting writer tries the lock again. flock has no timed wait; a short interval
// keeps a waiter from missing the gaps between another writer's back-to-back changes.
constexpr std::chrono::milliseconds kLockRetry{1};

std::string Describe(const std::filesystem::path& file, std::string_view what, int err) {
    return file.string() + ": " + std::string(what) + ": " + std::strerror(err);
}

std::filesystem::path WithSuffix(const std::filesystem::path& file, std::string_view suffix) {
    std::filesystem::path out = file;
    out += std::string(suffix);
    return out;
}

bool EnsureParent(const std::filesystem::path& file, std::string& error) {
    const std::filesystem::path dir = file.parent_path();
    return dir.empty() || EnsureDirectory(dir, &error);
}

std::string LockTimeout(const std::filesystem::path& lock_path, int fd,
                        std::chrono::milliseconds wait) {
    struct stat st {};
    std::optional<LockHolder> holder;
    if (::fstat(fd, &st) == 0) {
        holder = FindFlockHolder(st.st_dev, st.st_ino);
    }
    const auto seconds = std::chrono::duration<double>(wait).count();
    char waited[32];
    std::snprintf(waited, sizeof waited, "%g s", seconds);
    return lock_path.string() + ": still locked by " + DescribeLockHolder(holder) + " after " +
           waited + "; nothing was changed, try again when it has finished";
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path dir = file.parent_path().empty() ? "." : file.parent_path();
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileReadStatus ReadWholeFile(const std::filesystem::path& file, size_t max_size, std::string& out,
                             std::string& error) {
    out.clear();
    OpenedFile opened = OpenRegularFile(file, FileUse::Read);
    if (opened.fd < 0) {
        if (opened.missing) {
            return FileReadStatus::Missing;
        }
        error = std::move(opened.problem);
        return FileReadStatus::Error;
    }
    const int fd = opened.fd;
    struct stat st {};
    (void)::fstat(fd, &st);
    // The size is only a hint (the file may grow while we read); the loop bounds the read.
    out.reserve(std::min(static_cast<size_t>(st.st_size), max_size) + 1);
    char buf[16384];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = Describe(file, "cannot read", errno);
            ::close(fd);
            return FileReadStatus::Error;
        }
        if (n == 0) {
            break;
        }
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > max_size) {
            ::close(fd);
            out.clear();
            return FileReadStatus::TooLarge;
        }
    }
    ::close(fd);
    return FileReadStatus::Ok;
}

std::filesystem::path WriteTarget(const std::filesystem::path& file, std::string& error) {
    std::filesystem::path target = file;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return target;  // missing, or not a link: the open or the rename says what is wrong
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) {
            error = target.string() + ": cannot read the symbolic link: " + ec.message();
            return {};
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    error = file.string() + ": too many levels of symbolic links";
    return {};
}

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& file, std::string& error,
                                          std::chrono::milliseconds wait) {
    if (!EnsureParent(file, error)) {
        return std::nullopt;
    }
    const std::filesystem::path target = WriteTarget(file, error);
    if (target.empty()) {
        return std::nullopt;
    }
    const std::filesystem::path lock_path = WithSuffix(target, kLockSuffix);
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        error = Describe(lock_path, "cannot open the lock file", errno);
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            error = Describe(lock_path, "cannot lock", errno);
            ::close(fd);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = LockTimeout(lock_path, fd, wait);
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the only descriptor releases the flock
    }
}

bool WriteFileAtomically(const std::filesystem::path& link_or_file, std::string_view contents,
                         std::string& error) {
    if (!EnsureParent(link_or_file, error)) {
        return false;
    }
    const std::filesystem::path file = WriteTarget(link_or_file, error);
    if (file.empty()) {
        return false;
    }
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path temp =
        WithSuffix(file, std::string(kTempInfix) + std::to_string(::getpid()) + "." +
                             std::to_string(counter.fetch_add(1, std::memory_order_relaxed)));
    mode_t mode = kNewFileMode;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        error = Describe(temp, "cannot create", errno);
        return false;
    }
    bool ok = WriteAll(fd, contents);
    int err = errno;
    if (ok) {
        (void)::fchmod(fd, mode);  // the umask may have narrowed the mode given to open
        ok = ::fsync(fd) == 0;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = Describe(file, "cannot write", err);
        return false;
    }
    SyncFolder(file);
    return true;
}

}  // namespace qorval::platform
