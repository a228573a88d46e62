#include "platform/lock_holder.h"

#include <sys/sysmacros.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace qorval::platform {
namespace {

constexpr const char* kLockTable = "/proc/locks";

// One line of the lock table: "1: FLOCK  ADVISORY  WRITE 9324 fe:00:10953413 0 EOF". Lines of
// processes still waiting for a lock carry "->" after the number and are skipped.
std::optional<pid_t> HolderOnLine(const std::string& line, dev_t device, ino_t inode) {
    std::istringstream in(line);
    std::string number, kind, mode, access, file;
    long pid = 0;
    if (!(in >> number >> kind) || kind == "->" || kind != "FLOCK" ||
        !(in >> mode >> access >> pid >> file) || pid <= 0) {
        return std::nullopt;
    }
    unsigned major_number = 0, minor_number = 0;
    uintmax_t file_inode = 0;
    if (std::sscanf(file.c_str(), "%x:%x:%" SCNuMAX, &major_number, &minor_number,
                    &file_inode) != 3) {
        return std::nullopt;
    }
    if (major_number != major(device) || minor_number != minor(device) ||
        file_inode != static_cast<uintmax_t>(inode)) {
        return std::nullopt;
    }
    return static_cast<pid_t>(pid);
}

std::string CommandOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(in, command);
    return command;
}

}  // namespace

std::optional<LockHolder> FindFlockHolder(dev_t device, ino_t inode) {
    std::ifstream table(kLockTable);
    for (std::string line; std::getline(table, line);) {
        if (const auto pid = HolderOnLine(line, device, inode)) {
            return LockHolder{*pid, CommandOf(*pid)};
        }
    }
    return std::nullopt;
}

std::string DescribeLockHolder(const std::optional<LockHolder>& holder) {
    if (!holder) {
        return "another process";
    }
    std::string text = "process " + std::to_string(holder->pid);
    if (!holder->command.empty()) {
        text += " (" + holder->command + ")";
    }
    return text;
}

}  // namespace qorval::platform
