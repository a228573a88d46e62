#pragma once
// The shared secret a TCP peer of a byte-stream wiring must send before anything else: a line
// of 32 hexadecimal digits, kept in a file of the host's owner alone (run/stream.token, 0600),
// made with random digits when there is none. Whoever can read the file may be a peer; anyone
// else who connects is closed without a byte reaching the port.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace qorval::host {

inline constexpr std::string_view kStreamTokenFileName = "stream.token";
inline constexpr size_t kStreamTokenDigits = 32;

// The token in `file`, making the file when it is missing. Empty with `error` set when the file
// cannot be trusted: not a regular file, another user's, open to others, or not a token.
std::string LoadOrCreateStreamToken(const std::filesystem::path& file, std::string* error);

// Whether `line` (what the peer sent, its line feed removed) is the token; compared in a time
// that does not depend on where they differ.
bool TokenMatches(std::string_view line, std::string_view token);

}  // namespace qorval::host
