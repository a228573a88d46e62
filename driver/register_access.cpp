#include "driver/register_access.h"

#include "driver/register_map.h"

namespace wyvel32 {

namespace {

constexpr uint8_t kKeepPageBits = 0x3F;

// Holds the register window open for one access and restores board register 0 afterwards.
class RegisterWindowScope {
  public:
    explicit RegisterWindowScope(Hardware& hardware)
        : hardware_(hardware), saved_(hardware.ReadBoard(board::kControl)) {
        hardware_.WriteBoard(board::kControl,
                             static_cast<uint8_t>((saved_ & kKeepPageBits) | board::kEnable));
    }
    ~RegisterWindowScope() { hardware_.WriteBoard(board::kControl, saved_); }
    RegisterWindowScope(const RegisterWindowScope&) = delete;
    RegisterWindowScope& operator=(const RegisterWindowScope&) = delete;

  private:
    Hardware& hardware_;
    uint8_t saved_;
};

}  // namespace

void WriteIusc16(PortContext& port, uint8_t offset, uint16_t value) {
    RegisterWindowScope scope(*port.hardware);
    port.hardware->WriteReg16(offset, value);
}

uint16_t ReadIusc16(PortContext& port, uint8_t offset) {
    RegisterWindowScope scope(*port.hardware);
    return port.hardware->ReadReg16(offset);
}

void WriteIusc8(PortContext& port, uint8_t offset, uint8_t value) {
    RegisterWindowScope scope(*port.hardware);
    port.hardware->WriteReg8(offset, value);
}

uint8_t ReadIusc8(PortContext& port, uint8_t offset) {
    RegisterWindowScope scope(*port.hardware);
    return port.hardware->ReadReg8(offset);
}

uint16_t ChannelModeBits(const PortConfig& config) {
    return config.LoopBack == 1 ? ccar::kModeInternalLoopback : ccar::kModeNormal;
}

void IssueChannelCommand(PortContext& port, uint16_t command) {
    WriteIusc16(port, iusc::CCAR, static_cast<uint16_t>(command | ChannelModeBits(port.config)));
}

void SetNextReceiveList(PortContext& port, uint32_t card_address) {
    WriteIusc16(port, iusc::NRARU, static_cast<uint16_t>(card_address >> 16));
    WriteIusc16(port, iusc::NRARL, static_cast<uint16_t>(card_address));
}

void SetNextTransmitList(PortContext& port, uint32_t card_address) {
    WriteIusc16(port, iusc::NTARU, static_cast<uint16_t>(card_address >> 16));
    WriteIusc16(port, iusc::NTARL, static_cast<uint16_t>(card_address));
}

}  // namespace wyvel32
