#include "driver/modem_lines.h"

#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// PCR PORT7 (RTS, bits 15-14) and PORT6 (DTR, bits 13-12): 10 drives the line active,
// 11 inactive.
constexpr uint16_t kPcrRtsField = 0xC000;
constexpr uint16_t kPcrRtsOn = 0x8000;
constexpr uint16_t kPcrDtrField = 0x3000;
constexpr uint16_t kPcrDtrOn = 0x2000;

// Where each input line shows in PSR and MISR.
constexpr uint16_t kPsrDtr = 1u << 12;
constexpr uint16_t kPsrRts = 1u << 14;
constexpr uint16_t kPsrPort4 = 1u << 8;
constexpr uint16_t kMisrDsr = 1u << 10;
constexpr uint16_t kMisrDcd = 1u << 6;
constexpr uint16_t kMisrCts = 1u << 4;
constexpr uint16_t kMisrRi = 1u << 8;

}  // namespace

void SetModemLines(PortContext& port, uint16_t modem_control) {
    WriteIusc16(port, iusc::PSR, arm::kPsrSelect);
    uint16_t pcr = ReadIusc16(port, iusc::PCR);
    if (port.config.RS_485 == 0) {
        pcr = (pcr & ~kPcrRtsField) | ((modem_control & MODEM_RTS) ? kPcrRtsOn : kPcrRtsField);
    }
    pcr = (pcr & ~kPcrDtrField) | ((modem_control & MODEM_DTR) ? kPcrDtrOn : kPcrDtrField);
    WriteIusc16(port, iusc::PCR, pcr);
}

uint16_t GetModemLines(PortContext& port) {
    WriteIusc16(port, iusc::PSR, arm::kPsrSelect);
    const uint16_t psr = ReadIusc16(port, iusc::PSR);
    const uint16_t misr = ReadIusc16(port, iusc::MISR);
    uint16_t word = 0;
    word |= (psr & kPsrDtr) ? MODEM_DTR : 0;
    word |= (psr & kPsrRts) ? MODEM_RTS : 0;
    word |= (misr & kMisrDsr) ? MODEM_DSR : 0;
    word |= (misr & kMisrDcd) ? MODEM_DCD : 0;
    word |= (misr & kMisrCts) ? MODEM_CTS : 0;
    word |= (misr & kMisrRi) ? MODEM_RI : 0;
    word |= (psr & kPsrPort4) ? MODEM_PORT4 : 0;
    return word;
}

}  // namespace wyvel32
