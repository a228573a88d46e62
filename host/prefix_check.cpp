#include "host/prefix_check.h"

#include <sys/stat.h>

#include <cstdio>

namespace wyvel32::host {

std::string PrefixExposureWarning(const std::filesystem::path& prefix) {
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0 || (st.st_mode & S_IRWXO) == 0) {
        return {};
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "wyvel32: warning: " + prefix.string() + " is open to every user (mode " + mode +
           "); chmod 700 it to keep the configuration and the ports private\n";
}

}  // namespace wyvel32::host
