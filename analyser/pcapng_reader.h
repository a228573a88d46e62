// Reads a pcapng capture file block by block: the analyser's own exports and captures that
// other packet analysers wrote. The file is outside input: every block length, option,
// interface number and timestamp is checked before use, and a file that breaks the format
// ends the reading with a message saying what broke where, never with a read outside a block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace qorval::analyser {

struct CaptureInterface {
    uint16_t linkType = 0;
    uint32_t snapLength = 0;  // 0: packets are not cut
    std::string name;         // if_name, when the file gives one
    // Timestamps count units of 10^-exponent seconds, or 2^-exponent with binaryExponent.
    uint8_t exponent = 6;
    bool binaryExponent = false;
    int64_t offsetSeconds = 0;  // if_tsoffset
};

// Direction of a packet as its flags give it (epb_flags bits 0-1).
enum class PacketDirection { Unknown, Inbound, Outbound };

struct CapturePacket {
    uint32_t interfaceId = 0;
    bool hasTime = false;  // simple packet blocks carry no time
    uint64_t timeNs = 0;   // nanoseconds since 1970
    std::vector<uint8_t> bytes;
    uint32_t originalLength = 0;
    PacketDirection direction = PacketDirection::Unknown;
    uint32_t flags = 0;  // the whole flags word
};

class PcapngReader {
  public:
    // Reads from `file` (not owned; read from its current position to its end).
    explicit PcapngReader(std::FILE* file) : file_(file) {}

    // The next packet; nullopt at the end of the file or at an error (Error() then says what).
    std::optional<CapturePacket> Next();
    const std::string& Error() const { return error_; }
    // The interfaces of the section being read, by id.
    const std::vector<CaptureInterface>& Interfaces() const { return interfaces_; }

    // The largest block read: well above any frame of a synchronous line, and a bound on what
    // a damaged length can make the reader allocate.
    static constexpr uint32_t kMaxBlockBytes = 1u << 24;

  private:
    bool ReadBlock(uint32_t& type, std::vector<uint8_t>& body);
    bool SectionHeader(const std::vector<uint8_t>& body);
    bool InterfaceDescription(const std::vector<uint8_t>& body);
    std::optional<CapturePacket> EnhancedPacket(const std::vector<uint8_t>& body);
    std::optional<CapturePacket> SimplePacket(const std::vector<uint8_t>& body);
    std::optional<CapturePacket> ObsoletePacket(const std::vector<uint8_t>& body);
    bool PacketTime(uint32_t interfaceId, uint64_t units, CapturePacket& packet);
    bool Fail(std::string what);

    std::FILE* file_;
    bool swapped_ = false;  // the section is in the other byte order than this machine's
    bool inSection_ = false;
    uint64_t offset_ = 0;  // of the block being read, for the messages
    std::vector<CaptureInterface> interfaces_;
    std::string error_;
};

}  // namespace qorval::analyser
