#include "terminal/xmodem_block.h"

#include <algorithm>
#include <array>

namespace qorval::terminal {
namespace {

constexpr uint16_t kPolynomial = 0x1021;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? static_cast<uint16_t>((crc << 1) ^ kPolynomial)
                                      : static_cast<uint16_t>(crc << 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t Crc16(std::span<const uint8_t> data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ b) & 0xFF]);
    }
    return crc;
}

uint8_t Checksum(std::span<const uint8_t> data) {
    unsigned sum = 0;
    for (uint8_t b : data) {
        sum += b;
    }
    return static_cast<uint8_t>(sum);
}

size_t DataBlockSize(Protocol protocol, uint64_t remaining) {
    if (protocol != Protocol::Xmodem && remaining >= kLargeBlock) {
        return kLargeBlock;
    }
    return kSmallBlock;
}

size_t BuildBlock(std::span<uint8_t, kMaxBlockFrame> frame, uint8_t number,
                  std::span<const uint8_t> data, size_t size, bool crc, uint8_t pad) {
    size = size == kLargeBlock ? kLargeBlock : kSmallBlock;
    const size_t used = std::min(data.size(), size);
    frame[0] = size == kLargeBlock ? kStx : kSoh;
    frame[1] = number;
    frame[2] = static_cast<uint8_t>(255 - number);
    uint8_t* field = frame.data() + 3;
    std::copy_n(data.begin(), used, field);
    std::fill(field + used, field + size, pad);
    const std::span<const uint8_t> whole(field, size);
    uint8_t* check = field + size;
    if (crc) {
        const uint16_t c = Crc16(whole);
        check[0] = static_cast<uint8_t>(c >> 8);
        check[1] = static_cast<uint8_t>(c & 0xFF);
    } else {
        check[0] = Checksum(whole);
    }
    return 3 + size + CheckLength(crc);
}

bool CheckMatches(std::span<const uint8_t> data, std::span<const uint8_t> check, bool crc) {
    if (check.size() < CheckLength(crc)) {
        return false;
    }
    if (crc) {
        const uint16_t c = Crc16(data);
        return check[0] == (c >> 8) && check[1] == (c & 0xFF);
    }
    return check[0] == Checksum(data);
}

}  // namespace qorval::terminal
