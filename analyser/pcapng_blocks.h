// The pcapng block types and option codes the analyser writes and reads: the capture file
// format's own numbers, in one place for the writer and the reader.
#pragma once

#include <cstdint>

namespace qorval::analyser::pcapng {

constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescriptionBlock = 1;
constexpr uint32_t kObsoletePacketBlock = 2;
constexpr uint32_t kSimplePacketBlock = 3;
constexpr uint32_t kEnhancedPacketBlock = 6;
// As written; a file of the other byte order shows it swapped.
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kOptionEnd = 0;
constexpr uint16_t kOptionComment = 1;
constexpr uint16_t kOptionIfName = 2;
constexpr uint16_t kOptionIfTsresol = 9;
constexpr uint16_t kOptionIfTsoffset = 14;
// epb_flags, and pack_flags of the obsolete packet block.
constexpr uint16_t kOptionPacketFlags = 2;

}  // namespace qorval::analyser::pcapng
