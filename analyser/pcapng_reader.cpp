#include "analyser/pcapng_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "analyser/pcapng_blocks.h"
#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

using namespace pcapng;

constexpr uint32_t kByteOrderMagicSwapped = 0x4D3C2B1A;
constexpr uint32_t kDirectionMask = 0x3;
constexpr uint64_t kNanosecondsPerSecond = 1'000'000'000;

// The fields of a block, read in the section's byte order and only inside the block.
class Fields {
  public:
    Fields(const std::vector<uint8_t>& body, bool swapped) : body_(body), swapped_(swapped) {}

    bool Has(size_t at, size_t bytes) const { return at <= body_.size() && bytes <= body_.size() - at; }
    uint16_t U16(size_t at) const {
        uint16_t value = 0;
        std::memcpy(&value, body_.data() + at, 2);
        return swapped_ ? __builtin_bswap16(value) : value;
    }
    uint32_t U32(size_t at) const {
        uint32_t value = 0;
        std::memcpy(&value, body_.data() + at, 4);
        return swapped_ ? __builtin_bswap32(value) : value;
    }
    uint64_t U64(size_t at) const {
        uint64_t value = 0;
        std::memcpy(&value, body_.data() + at, 8);
        return swapped_ ? __builtin_bswap64(value) : value;
    }
    const uint8_t* At(size_t at) const { return body_.data() + at; }
    size_t Size() const { return body_.size(); }

  private:
    const std::vector<uint8_t>& body_;
    bool swapped_;
};

struct Option {
    uint16_t code;
    size_t at;  // of its value within the body
    uint16_t length;
};

// Walks the options from `at` to the end of the body; false when one runs past it.
template <typename Visit>
bool ForEachOption(const Fields& fields, size_t at, Visit&& visit) {
    while (fields.Has(at, 4)) {
        const Option option{fields.U16(at), at + 4, fields.U16(at + 2)};
        if (option.code == kOptionEnd) {
            return true;
        }
        const size_t padded = (size_t{option.length} + 3) & ~size_t{3};
        if (!fields.Has(option.at, padded)) {
            return false;
        }
        visit(option);
        at = option.at + padded;
    }
    return at == fields.Size();  // no end-of-options mark: the options must end with the body
}

// 10^n for n <= 19.
uint64_t PowerOfTen(unsigned n) {
    uint64_t value = 1;
    while (n-- > 0) {
        value *= 10;
    }
    return value;
}

}  // namespace

bool PcapngReader::Fail(std::string what) {
    error_ = StringPrintf("%s (block at byte %llu)", what.c_str(),
                          static_cast<unsigned long long>(offset_));
    return false;
}

bool PcapngReader::ReadBlock(uint32_t& type, std::vector<uint8_t>& body) {
    uint8_t head[8];
    const size_t got = std::fread(head, 1, sizeof head, file_);
    if (got == 0 && std::feof(file_)) {
        return false;  // the end, between blocks
    }
    if (got != sizeof head) {
        return Fail("the file ends inside a block header");
    }
    std::memcpy(&type, head, 4);
    uint32_t length = 0;
    std::memcpy(&length, head + 4, 4);
    if (type == kSectionHeaderBlock) {
        // The byte order of a section is known only from its header's magic, after the length.
        uint8_t magic[4];
        if (std::fread(magic, 1, 4, file_) != 4) {
            return Fail("the file ends inside a section header");
        }
        uint32_t order = 0;
        std::memcpy(&order, magic, 4);
        if (order != kByteOrderMagic && order != kByteOrderMagicSwapped) {
            return Fail("a section header without the byte-order magic");
        }
        swapped_ = order == kByteOrderMagicSwapped;
        inSection_ = true;
        interfaces_.clear();
        if (swapped_) {
            length = __builtin_bswap32(length);
        }
        if (length < 28 || length % 4 != 0 || length > kMaxBlockBytes) {
            return Fail(StringPrintf("a section header of %u bytes", length));
        }
        body.assign(length - 8, 0);
        std::memcpy(body.data(), magic, 4);
        if (std::fread(body.data() + 4, 1, body.size() - 4, file_) != body.size() - 4) {
            return Fail("the file ends inside a section header");
        }
    } else {
        if (!inSection_) {
            return Fail("not a pcapng file: it does not start with a section header");
        }
        if (swapped_) {
            type = __builtin_bswap32(type);
            length = __builtin_bswap32(length);
        }
        if (length < 12 || length % 4 != 0 || length > kMaxBlockBytes) {
            return Fail(StringPrintf("a block of type %u with a length of %u bytes", type, length));
        }
        body.assign(length - 8, 0);
        if (std::fread(body.data(), 1, body.size(), file_) != body.size()) {
            return Fail("the file ends inside a block");
        }
    }
    // Every block ends with its length once more.
    const Fields fields(body, swapped_);
    if (fields.U32(body.size() - 4) != length) {
        return Fail("a block whose closing length differs from its opening length");
    }
    body.resize(body.size() - 4);
    return true;
}

bool PcapngReader::SectionHeader(const std::vector<uint8_t>& body) {
    const Fields fields(body, swapped_);
    if (fields.U16(4) != 1) {
        return Fail(StringPrintf("pcapng version %u is not known", fields.U16(4)));
    }
    return true;
}

bool PcapngReader::InterfaceDescription(const std::vector<uint8_t>& body) {
    const Fields fields(body, swapped_);
    if (!fields.Has(0, 8)) {
        return Fail("an interface description too short for its fields");
    }
    CaptureInterface description;
    description.linkType = fields.U16(0);
    description.snapLength = fields.U32(4);
    bool optionsValid = true;
    const bool walked = ForEachOption(fields, 8, [&](const Option& option) {
        if (option.code == kOptionIfName) {
            description.name.assign(reinterpret_cast<const char*>(fields.At(option.at)),
                                    option.length);
        } else if (option.code == kOptionIfTsresol) {
            const uint8_t value = option.length >= 1 ? *fields.At(option.at) : 6;
            description.binaryExponent = (value & 0x80) != 0;
            description.exponent = value & 0x7F;
            // Units finer than the nanoseconds a time is kept in are divided; coarser ones
            // multiplied, as long as a time can hold them.
            optionsValid = option.length == 1 &&
                           (description.binaryExponent ? description.exponent <= 63
                                                       : description.exponent <= 19);
        } else if (option.code == kOptionIfTsoffset) {
            optionsValid = optionsValid && option.length == 8;
            if (option.length == 8) {
                description.offsetSeconds = static_cast<int64_t>(fields.U64(option.at));
            }
        }
    });
    if (!walked) {
        return Fail("an interface description whose options run past its end");
    }
    if (!optionsValid) {
        return Fail("an interface description with an unusable time resolution or offset");
    }
    interfaces_.push_back(std::move(description));
    return true;
}

bool PcapngReader::PacketTime(uint32_t interfaceId, uint64_t units, CapturePacket& packet) {
    const CaptureInterface& description = interfaces_[interfaceId];
    unsigned __int128 ns = 0;
    if (description.binaryExponent) {
        ns = (static_cast<unsigned __int128>(units) * kNanosecondsPerSecond) >>
             description.exponent;
    } else if (description.exponent <= 9) {
        ns = static_cast<unsigned __int128>(units) * PowerOfTen(9 - description.exponent);
    } else {
        ns = units / PowerOfTen(description.exponent - 9);
    }
    const __int128 total = static_cast<__int128>(ns) +
                           static_cast<__int128>(description.offsetSeconds) * kNanosecondsPerSecond;
    if (total < 0 || total > static_cast<__int128>(std::numeric_limits<uint64_t>::max())) {
        return Fail("a packet time outside the range of times");
    }
    packet.hasTime = true;
    packet.timeNs = static_cast<uint64_t>(total);
    return true;
}

std::optional<CapturePacket> PcapngReader::EnhancedPacket(const std::vector<uint8_t>& body) {
    const Fields fields(body, swapped_);
    if (!fields.Has(0, 20)) {
        Fail("a packet block too short for its fields");
        return std::nullopt;
    }
    CapturePacket packet;
    packet.interfaceId = fields.U32(0);
    if (packet.interfaceId >= interfaces_.size()) {
        Fail(StringPrintf("a packet of interface %u, which the section does not describe",
                          packet.interfaceId));
        return std::nullopt;
    }
    const uint64_t units = (uint64_t{fields.U32(4)} << 32) | fields.U32(8);
    const uint32_t captured = fields.U32(12);
    packet.originalLength = fields.U32(16);
    const size_t padded = (size_t{captured} + 3) & ~size_t{3};
    if (!fields.Has(20, padded)) {
        Fail(StringPrintf("a packet of %u bytes in a block too short for it", captured));
        return std::nullopt;
    }
    if (!PacketTime(packet.interfaceId, units, packet)) {
        return std::nullopt;
    }
    packet.bytes.assign(fields.At(20), fields.At(20) + captured);
    const bool walked = ForEachOption(fields, 20 + padded, [&](const Option& option) {
        if (option.code == kOptionPacketFlags && option.length == 4) {
            packet.flags = fields.U32(option.at);
        }
    });
    if (!walked) {
        Fail("a packet block whose options run past its end");
        return std::nullopt;
    }
    switch (packet.flags & kDirectionMask) {
        case 1:
            packet.direction = PacketDirection::Inbound;
            break;
        case 2:
            packet.direction = PacketDirection::Outbound;
            break;
        default:
            packet.direction = PacketDirection::Unknown;
            break;
    }
    return packet;
}

std::optional<CapturePacket> PcapngReader::SimplePacket(const std::vector<uint8_t>& body) {
    const Fields fields(body, swapped_);
    if (interfaces_.empty()) {
        Fail("a simple packet block before any interface description");
        return std::nullopt;
    }
    if (!fields.Has(0, 4)) {
        Fail("a simple packet block too short for its length");
        return std::nullopt;
    }
    CapturePacket packet;
    packet.originalLength = fields.U32(0);
    // It carries no captured length: the packet is its original length, cut to the first
    // interface's snap length, and the block holds it with up to 3 bytes of padding.
    const size_t held = fields.Size() - 4;
    const uint32_t snap = interfaces_.front().snapLength;
    const size_t captured = std::min<size_t>(
        {packet.originalLength, snap != 0 ? snap : packet.originalLength, held});
    if (held - captured > 3) {
        Fail("a simple packet block longer than its packet and padding");
        return std::nullopt;
    }
    packet.bytes.assign(fields.At(4), fields.At(4) + captured);
    return packet;
}

std::optional<CapturePacket> PcapngReader::ObsoletePacket(const std::vector<uint8_t>& body) {
    // The layout of an enhanced packet block but for a 16-bit interface id followed by a drop
    // count: widened to the enhanced block's id, it is read as one (which checks the rest).
    std::vector<uint8_t> enhanced(body);
    const Fields fields(body, swapped_);
    if (fields.Has(0, 4)) {
        const uint16_t interfaceId = fields.U16(0);
        const uint32_t widened = swapped_ ? __builtin_bswap32(uint32_t{interfaceId}) : interfaceId;
        std::memcpy(enhanced.data(), &widened, 4);
    }
    return EnhancedPacket(enhanced);
}

std::optional<CapturePacket> PcapngReader::Next() {
    if (!error_.empty()) {
        return std::nullopt;
    }
    std::vector<uint8_t> body;
    for (;;) {
        offset_ = static_cast<uint64_t>(std::max<long>(std::ftell(file_), 0));
        uint32_t type = 0;
        if (!ReadBlock(type, body)) {
            return std::nullopt;
        }
        switch (type) {
            case kSectionHeaderBlock:
                if (!SectionHeader(body)) {
                    return std::nullopt;
                }
                break;
            case kInterfaceDescriptionBlock:
                if (!InterfaceDescription(body)) {
                    return std::nullopt;
                }
                break;
            case kEnhancedPacketBlock:
                return EnhancedPacket(body);
            case kSimplePacketBlock:
                return SimplePacket(body);
            case kObsoletePacketBlock:
                return ObsoletePacket(body);
            default:
                break;  // statistics, name resolution, custom blocks: nothing to replay
        }
    }
}

}  // namespace qorval::analyser
