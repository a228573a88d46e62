// Where the suite keeps its files: everything lives under one prefix, like a Windows drive
// tree under a compatibility prefix.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qorval::platform {

// $QORVAL_PREFIX, else $XDG_DATA_HOME/qorval, else $HOME/.local/share/qorval.
std::filesystem::path Prefix();
std::filesystem::path RegistryFile();  // Prefix()/system.reg
std::filesystem::path DriveC();        // Prefix()/drive_c
std::filesystem::path WindowsDir();    // Prefix()/drive_c/windows
std::filesystem::path RunDir();        // Prefix()/run
std::filesystem::path LogDir();        // Prefix()/log

// Maps a DOS path to a file under the prefix: "c:\QLConfig.LOG" -> DriveC()/QLConfig.LOG, other
// drive letters to Prefix()/drive_<x>. A path without a drive but with a leading backslash is on
// drive c:. A relative path stays relative. "." and ".." are resolved by name and never climb
// above the drive's root. Each name that already exists under a different letter case is
// returned with the stored case, as the original file system would find it.
std::filesystem::path FromDosPath(std::string_view dos);

// Creates `dir` with its parents; false with a reason in `error` (when given) on failure.
bool EnsureDirectory(const std::filesystem::path& dir, std::string* error);

}  // namespace qorval::platform
