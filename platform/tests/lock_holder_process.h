// Another process holding the advisory lock of a shared file, for tests of what a writer
// does while it waits.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace qorval::platform::testing {

// A child process that holds the lock of `file` until the parent lets it go.
class LockHolderProcess {
  public:
    explicit LockHolderProcess(const std::filesystem::path& file) {
        int held[2], release[2];
        EXPECT_EQ(::pipe(held), 0);
        EXPECT_EQ(::pipe(release), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(held[0]);
            ::close(release[1]);
            const std::string lock = file.string() + ".lock";
            const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0600);
            const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 1 : 0;
            (void)!::write(held[1], &ok, 1);
            char byte = 0;
            (void)!::read(release[0], &byte, 1);  // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(held[1]);
        ::close(release[0]);
        char ok = 0;
        EXPECT_EQ(::read(held[0], &ok, 1), 1);
        EXPECT_EQ(ok, 1);
        ::close(held[0]);
        release_ = release[1];
    }
    ~LockHolderProcess() { Release(); }
    void Release() {
        if (release_ >= 0) {
            ::close(release_);
            release_ = -1;
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
};

}  // namespace qorval::platform::testing
