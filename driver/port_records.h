#pragma once
// The PortInfo (68 bytes) and PortState (84 bytes) records as the driver fills and takes them,
// byte for byte, little-endian. Bytes the driver does not define are left zero.

#include <cstdint>
#include <span>

#include "driver/port_context.h"

namespace wyvel32 {

// The PortState fields a client may change, as reported in PortInfo.
inline constexpr uint32_t kPortStateCapabilities = 0x0001FE10;

// Offsets in PortInfo.
namespace port_info {
inline constexpr size_t kCapabilities = 0x10;
inline constexpr size_t kIoBase = 0x14;
inline constexpr size_t kMemoryBase = 0x16;
inline constexpr size_t kTxDmaChannel = 0x18;
inline constexpr size_t kRxDmaChannel = 0x1A;
inline constexpr size_t kIrq = 0x1C;
inline constexpr size_t kMaxTxFrame = 0x1E;
inline constexpr size_t kMaxRxFrame = 0x20;
inline constexpr size_t kTxBuffers = 0x22;
inline constexpr size_t kRxBuffers = 0x24;
inline constexpr size_t kCardType = 0x26;
inline constexpr size_t kChannel = 0x28;
inline constexpr size_t kInterface = 0x2A;
inline constexpr size_t kFlags = 0x2E;
inline constexpr size_t kNodeAddress = 0x30;
inline constexpr size_t kCrcMode = 0x32;
inline constexpr size_t kRunMode = 0x34;
inline constexpr size_t kChip = 0x36;
inline constexpr size_t kOscillator = 0x38;
inline constexpr uint16_t kNoDmaChannel = 0xFFFF;
inline constexpr uint16_t kCrcModeValue = 4;
inline constexpr uint16_t kChipValue = 2;
}  // namespace port_info

// Offsets in PortState.
namespace port_state {
inline constexpr size_t kDivisor = 0x20;
inline constexpr size_t kClockMultiplier = 0x22;
inline constexpr size_t kDataBits = 0x23;
inline constexpr size_t kSyncNodeAddress = 0x26;
inline constexpr size_t kCRCPreset = 0x27;
inline constexpr size_t kDpll = 0x28;
inline constexpr size_t kTxClock = 0x29;
inline constexpr size_t kRxClock = 0x2A;
inline constexpr size_t kBRGSource = 0x2B;
inline constexpr size_t kLoopBack = 0x2C;
inline constexpr size_t kRS_485 = 0x2D;
inline constexpr size_t kTxFramesSent = 0x30;
inline constexpr size_t kRxFramesReceived = 0x34;
inline constexpr size_t kCrcErrors = 0x40;
inline constexpr size_t kOverruns = 0x44;
inline constexpr uint8_t kClockMultiplierValue = 1;
inline constexpr uint8_t kDataBitsValue = 8;
}  // namespace port_state

// Stores a 16-bit value little-endian at `offset`.
void PutLe16(std::span<uint8_t> out, size_t offset, uint32_t value);

// Fill the records into `out` (at least the record's size; the record's bytes are zeroed
// first). Run with the configuration steady (under the interrupt lock).
void FillPortInfo(const PortContext& port, std::span<uint8_t> out);
void FillPortState(const PortContext& port, std::span<uint8_t> out);

// Copies the nine changeable values from a PortState record into the configuration, without
// validation (the channel programme copes with or refuses what it gets).
void TakePortState(PortConfig& config, std::span<const uint8_t> record);

}  // namespace wyvel32
