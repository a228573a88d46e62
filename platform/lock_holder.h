// Who holds an advisory lock: the kernel's table of file locks names the process behind every
// flock, so a writer that gives up waiting can say whom it waited for.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace qorval::platform {

struct LockHolder {
    pid_t pid = 0;
    std::string command;  // the process's command name; empty when it cannot be read
};

// The process holding a flock on the file with device `device` and inode `inode`, when the
// lock table lists one (it does not for locks taken in another pid namespace).
std::optional<LockHolder> FindFlockHolder(dev_t device, ino_t inode);

// "process 1234 (qorval)", or "another process" when the holder is not known.
std::string DescribeLockHolder(const std::optional<LockHolder>& holder);

}  // namespace qorval::platform
