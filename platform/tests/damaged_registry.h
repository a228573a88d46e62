// The ways a registry file is found damaged in practice, for the tests of everything that
// must report one: cut short by a full disk or a crash of another editor, overwritten with
// binary bytes, and replaced by a folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qorval::platform::testing {

struct RegistryDamage {
    std::string kind;
    // What the store reports after the file's name: ":<line>: <reason>" or ": <reason>".
    std::string reason;
    // Puts the damaged file (or folder) at the path; the text it wrote, if any.
    std::string (*make)(const std::filesystem::path&);
};

inline std::string WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    return bytes;
}

inline std::vector<RegistryDamage> RegistryDamages() {
    return {
        {"truncated in the middle", ":5: truncated: the last line has no line end",
         [](const std::filesystem::path& file) {
             return WriteBytes(file,
                               "REGEDIT4\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Wyvel32"
                               "\\Parameters\\Port001]\r\n"
                               "\"BaseIO\"=dword:00001010\r\n"
                               "\"Divisor\"=dword:0000");
         }},
        {"binary garbage", ":1: missing REGEDIT4 header",
         [](const std::filesystem::path& file) {
             return WriteBytes(file, std::string("\x7f" "ELF\x02\x01\x01\xff\xfe\x10\x80\r\n", 13));
         }},
        {"a folder in its place", ": not a regular file",
         [](const std::filesystem::path& file) {
             std::filesystem::create_directories(file / "inside");
             return std::string();
         }},
    };
}

}  // namespace qorval::platform::testing
