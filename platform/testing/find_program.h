// Where an external program the tests drive (lrzsz, socat) is installed, if it is.
#pragma once

#include <unistd.h>

#include <optional>
#include <string>

namespace qorval::testing {

inline std::optional<std::string> FindProgram(const std::string& name) {
    for (const char* dir : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        const std::string path = std::string(dir) + "/" + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace qorval::testing
