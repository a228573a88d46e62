#pragma once
// Register map of the simulated card as the chip and the board see it: board register offsets,
// IUSC register offsets in the 256-byte window, and the bit groups the model acts on, each
// group right under its register. Behaviour lives in the handlers (sim_card.cpp,
// iusc_window.cpp, dma_engine.cpp, serial_engine.cpp).

#include <cstdint>
#include <string_view>

namespace qorval::sim {

// ---- Board registers (8-bit, I/O space) ----
namespace board {
inline constexpr uint8_t kControl = 0;
inline constexpr uint8_t kEnable = 0x80;      // bit 7: board enable (IUSC window decodes)
inline constexpr uint8_t kHostAccess = 0x40;  // bit 6: host access to card memory
inline constexpr uint8_t kPageMask = 0x0F;    // bits 3-0: card-memory page
inline constexpr uint8_t kWindowSelect = 1;
inline constexpr uint8_t kSetup = 2;
inline constexpr uint8_t kReset = 3;
inline constexpr uint8_t kResetDone = 0x10;    // bit 4: reset completed
inline constexpr uint8_t kNoInterrupt = 0x20;  // bit 5: reads 0 while the board requests one
inline constexpr uint8_t kPciSetup = 4;
inline constexpr uint8_t kLineInterface = 5;
inline constexpr uint8_t kCount = 6;  // offsets 0-5 exist; 6 and 7 are not decoded
inline constexpr uint8_t kAbsentValue = 0xFF;
}  // namespace board

// ---- IUSC registers (offsets in the register window) ----
namespace reg {
// DMA section: transmit and shared registers at 0x00, receive registers at 0x40.
inline constexpr uint8_t DCAR = 0x00;
inline constexpr uint16_t kDcarCommandShift = 12;  // bits 15-12 command
inline constexpr uint16_t kDcarReceive = 0x0200;   // bit 9: the command is for the receive channel
inline constexpr uint16_t kDcarKeepMask = 0x0300;  // bits 9-8 read back as written
inline constexpr uint8_t kDcarPause = 0x4;
inline constexpr uint8_t kDcarInitialise = 0x7;
inline constexpr uint8_t kDcarPauseAll = 0xC;

inline constexpr uint8_t TDMR = 0x02;
inline constexpr uint8_t RDMR = 0x42;
inline constexpr uint16_t kDmrModeMask = 0xFFF0;     // bits 15-4 mode, held as written
inline constexpr uint16_t kDmrLinkedList = 0xC000;   // bits 15-14 = 11: linked-list mode
inline constexpr uint16_t kDmrEndOfBuffer = 0x0004;  // bit 2, cleared by reading
inline constexpr uint16_t kDmrEndOfList = 0x0008;    // bit 3, cleared by reading
inline constexpr uint16_t kDmrStatusMask = 0x000F;

inline constexpr uint8_t DCR = 0x06;
inline constexpr uint8_t BDCR = 0x12;
inline constexpr uint8_t DICR = 0x18;
inline constexpr uint16_t kDicrMasterEnable = 0x8000;
inline constexpr uint16_t kDicrChannelEnables = 0x0003;  // bit 0 transmit, bit 1 receive
inline constexpr uint8_t CDIR = 0x1A;                    // write: clears pending bits 1-0
inline constexpr uint8_t DIPR = 0x1C;                    // read only: pending bits 1-0
inline constexpr uint8_t kDmaTransmit = 0x01;
inline constexpr uint8_t kDmaReceive = 0x02;
inline constexpr uint8_t TDIAR = 0x1E;
inline constexpr uint8_t RDIAR = 0x5E;  // bit 2 arms end of buffer, bit 3 end of list
inline constexpr uint8_t NTARL = 0x3C;
inline constexpr uint8_t NTARU = 0x3E;
inline constexpr uint8_t NRARL = 0x7C;
inline constexpr uint8_t NRARU = 0x7E;

// Serial controller section at 0x80.
inline constexpr uint8_t CCAR = 0x80;
inline constexpr uint16_t kCcarCommandShift = 11;  // bits 15-11 command
inline constexpr uint16_t kCcarModeMask = 0x0300;  // bits 9-8 channel mode (11: local loopback)
inline constexpr uint16_t kCcarModeLoopback = 0x0300;
inline constexpr uint8_t kCcarNone = 0x00;
inline constexpr uint8_t kCcarPurgeRx = 0x09;       // 0x4800
inline constexpr uint8_t kCcarPurgeTx = 0x0A;       // 0x5000
inline constexpr uint8_t kCcarPurgeBoth = 0x0B;     // 0x5800
inline constexpr uint8_t kCcarLoadTcc = 0x0E;       // 0x7000
inline constexpr uint8_t kCcarLsbFirst = 0x14;      // 0xA000
inline constexpr uint8_t kCcarMsbFirst = 0x15;      // 0xA800
inline constexpr uint8_t kCcarLowByteFirst = 0x17;  // 0xB800
inline constexpr uint8_t kCcarRxReset = 0x19;       // 0xC800

inline constexpr uint8_t CMR = 0x82;
inline constexpr uint16_t kCmrRxModeMask = 0x000F;
inline constexpr uint16_t kCmrTxModeMask = 0x0F00;
inline constexpr uint16_t kCmrRxHdlc = 0x0006;
inline constexpr uint16_t kCmrTxHdlc = 0x0600;
inline constexpr uint16_t kCmrAddressSearch = 0x0010;

inline constexpr uint8_t CCSR = 0x84;  // low byte held; high byte status latches, write 1 clears
inline constexpr uint8_t CCR = 0x86;
inline constexpr uint16_t kCcrPreambleEnable = 0x1000;
inline constexpr uint16_t kCcrPreambleLengthMask = 0x0C00;  // 8, 16, 32 or 64 bits of flags

inline constexpr uint8_t PSR = 0x88;
inline constexpr uint16_t kPsrRts = 0x4000;        // PORT7 asserted (driven low)
inline constexpr uint16_t kPsrDtr = 0x1000;        // PORT6 asserted
inline constexpr uint16_t kPsrPort5 = 0x0400;      // PORT5 driven low
inline constexpr uint16_t kPsrPort4 = 0x0100;      // PORT4 input asserted
inline constexpr uint16_t kPsrLatchMask = 0xAA00;  // odd bit of each pair: changed, write 1 clears

inline constexpr uint8_t PCR = 0x8A;  // two bits per pin: 10 drive low (asserted), 11 drive high
inline constexpr uint16_t kPcrPort7Shift = 14;  // RTS
inline constexpr uint16_t kPcrPort6Shift = 12;  // DTR
inline constexpr uint16_t kPcrPort5Shift = 10;
inline constexpr uint16_t kPcrDriveLow = 0x2;
inline constexpr uint16_t kPcrSpecialFunction = 0x1;

inline constexpr uint8_t CMCR = 0x90;
inline constexpr uint16_t kCmcrTxClockMask = 0x0038;
inline constexpr uint16_t kCmcrTxFromTxcPin = 0x0010;
inline constexpr uint16_t kCmcrTxFromRxcPin = 0x0008;
inline constexpr uint16_t kCmcrTxFromDpll = 0x0018;
inline constexpr uint16_t kCmcrTxFromBrg0 = 0x0020;
inline constexpr uint16_t kCmcrBrg0SourceMask = 0x0300;
inline constexpr uint16_t kCmcrBrg0FromRxcPin = 0x0200;
inline constexpr uint16_t kCmcrBrg0FromTxcPin = 0x0300;

inline constexpr uint8_t HCR = 0x92;
inline constexpr uint16_t kHcrBrg0Enable = 0x0001;
inline constexpr uint16_t kHcrDpllDivisorMask = 0x0C00;
inline constexpr uint16_t kHcrDpllDivide8 = 0x0800;
inline constexpr uint16_t kHcrDpllDivide16 = 0x0400;

inline constexpr uint8_t IOCR = 0x96;
inline constexpr uint16_t kIocrTxdMask = 0x00C0;  // 11: TxD pin held at mark, nothing sent
inline constexpr uint8_t ICR = 0x98;
inline constexpr uint16_t kIcrMasterEnable = 0x8000;
inline constexpr uint8_t DCCR = 0x9A;
inline constexpr uint8_t kDccrCommandMask = 0xC0;  // bits 7-6 of the low byte
inline constexpr uint8_t kDccrResetIpAndIus = 0x40;
inline constexpr uint8_t kDccrClearIp = 0x80;
inline constexpr uint8_t kDccrSetIp = 0xC0;
inline constexpr uint8_t kDccrSourceMask = 0x3F;
inline constexpr uint8_t kIpReceiveStatus = 0x20;   // bit 5, enabled by ICR bit 7
inline constexpr uint8_t kIpTransmitStatus = 0x08;  // bit 3, enabled by ICR bit 5
inline constexpr unsigned kIcrEnableShift = 2;      // ICR bit n+2 enables DCCR pending bit n

inline constexpr uint8_t MISR = 0x9C;
inline constexpr uint16_t kMisrDsr = 0x0400;
inline constexpr uint16_t kMisrRi = 0x0100;
inline constexpr uint16_t kMisrDcd = 0x0040;
inline constexpr uint16_t kMisrCts = 0x0010;
inline constexpr uint16_t kMisrLatchMask = 0x0AA0;  // bit above each line: changed, write 1 clears

inline constexpr uint8_t RMR = 0xA2;
inline constexpr uint8_t TMR = 0xB2;
inline constexpr uint16_t kModeEncodingMask = 0xE000;
inline constexpr uint16_t kModeCrc32 = 0x1000;
inline constexpr uint16_t kModeCrcPresetOnes = 0x0400;
inline constexpr uint16_t kModeCrcEnable = 0x0300;
inline constexpr uint16_t kModeEnableMask = 0x0003;
inline constexpr uint16_t kModeEnabled = 0x0002;

inline constexpr uint8_t RCSR = 0xA4;
inline constexpr uint8_t TCSR = 0xB4;
inline constexpr unsigned kCsrCommandShift = 12;  // bits 15-12 of RCSR/TCSR, act and self-clear
inline constexpr uint8_t kCmdEnterHunt = 0x3;
inline constexpr uint8_t kCmdSelectFifoStatus = 0x5;
inline constexpr uint8_t kCmdSelectInterruptLevel = 0x6;
inline constexpr uint8_t kCmdSelectRequestLevel = 0x7;
inline constexpr uint16_t kRcsrStatusMask = 0x0FFF;  // write 1 clears
inline constexpr uint16_t kRcsrOverrun = 0x0002;
inline constexpr uint16_t kRcsrCrcError = 0x0008;
inline constexpr uint16_t kTcsrStatusMask = 0x00FF;  // write 1 clears
inline constexpr uint16_t kTcsrIdleMask = 0x0F00;    // bits 11-8 held: idle line state
inline constexpr uint16_t kTcsrUnderrun = 0x0002;
inline constexpr uint16_t kTcsrAbortSent = 0x0020;

inline constexpr uint8_t RICR = 0xA6;  // low byte: arms RCSR status bits; high byte: selected level
inline constexpr uint8_t TICR = 0xB6;
inline constexpr uint8_t kRxFifoDepth = 32;
inline constexpr uint8_t kTxFifoDepth = 32;

inline constexpr uint8_t RSR = 0xA8;
inline constexpr uint8_t RCLR = 0xAA;
inline constexpr uint8_t TC0R = 0xAE;
}  // namespace reg

// The register's name for traces and messages, or an empty view where the offset has none.
// Either byte of a 16-bit register carries the register's name.
std::string_view RegisterName(uint8_t offset);

// Whether the offset (rounded down to even) is a register the chip decodes.
bool IsKnownRegister(uint8_t offset);

}  // namespace qorval::sim
