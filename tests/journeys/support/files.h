// Files for journeys: made of seeded random bytes (read back with ReadWholeFile,
// child_process.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace qorval::journeys {

// `size` bytes from a generator seeded with `seed`: every byte value occurs, control bytes of
// the protocols included, and the same seed gives the same file.
inline std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

inline bool WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace qorval::journeys
