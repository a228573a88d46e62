#pragma once
// The YMODEM header block (block 0, 128 bytes): the file's name without its path, a 0 byte, the
// length in decimal, a 0 byte, zeros to the end. An empty name marks the end of a batch.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "terminal/protocol.h"

namespace qorval::terminal {

using HeaderBlock = std::array<uint8_t, kSmallBlock>;

// `name` is cut to its last path component; a name too long for the block is cut short so
// that both 0 bytes and the length still fit.
HeaderBlock BuildYmodemHeader(std::string_view name, uint64_t length);
// The end-of-batch header: byte 0 is 0 and byte 1 is the character '0'.
HeaderBlock BuildEndOfBatchHeader();

struct YmodemHeader {
    std::string name;              // text up to the first 0 byte, as sent
    std::optional<uint64_t> size;  // the decimal after it; nullopt when absent or negative
};
YmodemHeader ParseYmodemHeader(std::span<const uint8_t> block);

// The part of `path` after its last '/' or '\'.
std::string_view LastPathComponent(std::string_view path);

// The name a received file may be created under inside the download directory: the last path
// component of `sent`. Nullopt when that is empty, "." or "..", or holds control characters.
std::optional<std::string> SafeDownloadName(std::string_view sent);
// `text` with control and non-ASCII bytes written as \xNN, for showing in a message.
std::string PrintableName(std::string_view text);

}  // namespace qorval::terminal
