#include "driver/port_records.h"

#include <algorithm>
#include <cstring>

#include "driver/ioctl_codes.h"

namespace wyvel32 {
namespace {

void Put32(std::span<uint8_t> out, size_t offset, uint32_t value) {
    PutLe16(out, offset, value & 0xFFFF);
    PutLe16(out, offset + 2, value >> 16);
}

uint16_t Get16(std::span<const uint8_t> in, size_t offset) {
    return static_cast<uint16_t>(in[offset] | (in[offset + 1] << 8));
}

}  // namespace

void PutLe16(std::span<uint8_t> out, size_t offset, uint32_t value) {
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void FillPortInfo(const PortContext& port, std::span<uint8_t> out) {
    using namespace port_info;
    const PortConfig& c = port.config;
    std::fill_n(out.begin(), kPortInfoSize, uint8_t{0});
    Put32(out, kCapabilities, kPortStateCapabilities);
    PutLe16(out, kIoBase, static_cast<uint32_t>(c.BaseIO & 0xFFFF));
    PutLe16(out, kMemoryBase, static_cast<uint32_t>((c.Memory >> 4) & 0xFFFF));
    PutLe16(out, kTxDmaChannel, kNoDmaChannel);
    PutLe16(out, kRxDmaChannel, kNoDmaChannel);
    PutLe16(out, kIrq, c.Interrupt);
    PutLe16(out, kMaxTxFrame, c.TxBuffSize);
    PutLe16(out, kMaxRxFrame, c.RxBuffSize);
    PutLe16(out, kTxBuffers, c.TxBuffers);
    PutLe16(out, kRxBuffers, c.RxBuffers);
    PutLe16(out, kCardType, c.Card);
    PutLe16(out, kChannel, c.PortNumber - 1u);
    PutLe16(out, kInterface, c.Interface);
    PutLe16(out, kFlags, 0);
    PutLe16(out, kNodeAddress, c.SyncNodeAddress);
    PutLe16(out, kCrcMode, kCrcModeValue);
    PutLe16(out, kRunMode, 0);
    PutLe16(out, kChip, kChipValue);
    std::memcpy(out.data() + kOscillator, c.Oscillator, kOscillatorField);
}

void FillPortState(const PortContext& port, std::span<uint8_t> out) {
    using namespace port_state;
    const PortConfig& c = port.config;
    std::fill_n(out.begin(), kPortStateSize, uint8_t{0});
    PutLe16(out, kDivisor, c.Divisor);
    out[kClockMultiplier] = kClockMultiplierValue;
    out[kDataBits] = kDataBitsValue;
    out[kSyncNodeAddress] = static_cast<uint8_t>(c.SyncNodeAddress);
    out[kCRCPreset] = static_cast<uint8_t>(c.CRCPreset);
    out[kDpll] = static_cast<uint8_t>(c.Dpll);
    out[kTxClock] = static_cast<uint8_t>(c.TxClock);
    out[kRxClock] = static_cast<uint8_t>(c.RxClock);
    out[kBRGSource] = static_cast<uint8_t>(c.BRGSource);
    out[kLoopBack] = static_cast<uint8_t>(c.LoopBack);
    out[kRS_485] = static_cast<uint8_t>(c.RS_485);
    Put32(out, kTxFramesSent, port.TxFramesSent.load());
    Put32(out, kRxFramesReceived, port.RxFramesReceived.load());
    Put32(out, kCrcErrors, port.CrcErrors.load());
    Put32(out, kOverruns, port.Overruns.load());
}

void TakePortState(PortConfig& config, std::span<const uint8_t> record) {
    using namespace port_state;
    config.Divisor = Get16(record, kDivisor);
    config.SyncNodeAddress = record[kSyncNodeAddress];
    config.CRCPreset = record[kCRCPreset];
    config.Dpll = record[kDpll];
    config.TxClock = record[kTxClock];
    config.RxClock = record[kRxClock];
    config.BRGSource = record[kBRGSource];
    config.LoopBack = record[kLoopBack];
    config.RS_485 = record[kRS_485];
}

}  // namespace wyvel32
