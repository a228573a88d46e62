#pragma once
// Register map of the card: the 8-bit board registers in I/O space, the IUSC registers in the
// 256-byte register window, the command words the driver issues and the bit groups it programs.
// Behaviour lives elsewhere; this header only names what the datasheet and the board define.

#include <cstdint>

namespace wyvel32 {

// ---- Board registers (8-bit, at BaseIO + offset) ----
namespace board {
inline constexpr uint8_t kControl = 0;        // enable, host memory access, memory page
inline constexpr uint8_t kEnable = 0x80;      //   bit 7: board enable
inline constexpr uint8_t kHostAccess = 0x40;  //   bit 6: host access to card memory
inline constexpr uint8_t kPageMask = 0x0F;    //   bits 3-0: card-memory page
inline constexpr uint8_t kAbsent = 0xFF;      //   what an empty slot reads

inline constexpr uint8_t kWindowSelect = 1;  // bits 4-0 window address 18-14, bits 7-5 IRQ code
inline constexpr uint8_t kWindowMask = 0x1F;

inline constexpr uint8_t kSetup = 2;  // written 0x70 during set-up
inline constexpr uint8_t kSetupValue = 0x70;

inline constexpr uint8_t kReset = 3;  // write 0: reset; bit 4 reset done; bit 5 low: IRQ
inline constexpr uint8_t kResetDone = 0x10;
inline constexpr uint8_t kNoInterrupt = 0x20;

inline constexpr uint8_t kPciSetup = 4;  // written 0x40 during set-up of the PCI card
inline constexpr uint8_t kPciSetupValue = 0x40;

inline constexpr uint8_t kLineInterface = 5;  // bits 4-0 interface code, bits 7-5 preserved
inline constexpr uint8_t kLineKeepMask = 0xE0;
}  // namespace board

// ---- IUSC registers (offsets within the register window) ----
namespace iusc {
// DMA registers: transmit and shared at 0x00 + address, receive at 0x40 + address.
inline constexpr uint8_t DCAR = 0x00;   // DMA command/address
inline constexpr uint8_t TDMR = 0x02;   // transmit DMA mode/status
inline constexpr uint8_t DCR = 0x06;    // DMA control
inline constexpr uint8_t BDCR = 0x12;   // burst/dwell control
inline constexpr uint8_t DICR = 0x18;   // DMA interrupt control
inline constexpr uint8_t CDIR = 0x1A;   // clear DMA interrupt
inline constexpr uint8_t DIPR = 0x1C;   // DMA interrupt pending: bit 0 transmit, bit 1 receive
inline constexpr uint8_t TDIAR = 0x1E;  // transmit DMA interrupt arm
inline constexpr uint8_t NTARL = 0x3C;  // next transmit list address, low and high word
inline constexpr uint8_t NTARU = 0x3E;
inline constexpr uint8_t RDMR = 0x42;   // receive DMA mode/status
inline constexpr uint8_t RDIAR = 0x5E;  // receive DMA interrupt arm
inline constexpr uint8_t NRARL = 0x7C;  // next receive list address, low and high word
inline constexpr uint8_t NRARU = 0x7E;

// Serial controller registers at 0x80 + address.
inline constexpr uint8_t CCAR = 0x80;  // channel command/address
inline constexpr uint8_t CCAR_HIGH = 0x81;
inline constexpr uint8_t CMR = 0x82;   // channel mode
inline constexpr uint8_t CCSR = 0x84;  // channel command/status
inline constexpr uint8_t CCR = 0x86;   // channel control
inline constexpr uint8_t PSR = 0x88;   // port status
inline constexpr uint8_t PCR = 0x8A;   // port control
inline constexpr uint8_t CMCR = 0x90;  // clock mode control
inline constexpr uint8_t HCR = 0x92;   // hardware configuration
inline constexpr uint8_t IOCR = 0x96;  // I/O control
inline constexpr uint8_t ICR = 0x98;   // interrupt control
inline constexpr uint8_t DCCR = 0x9A;  // daisy chain control
inline constexpr uint8_t MISR = 0x9C;  // miscellaneous interrupt status
inline constexpr uint8_t RMR = 0xA2;   // receive mode
inline constexpr uint8_t RCSR = 0xA4;  // receive command/status
inline constexpr uint8_t RCSR_COMMAND = 0xA5;
inline constexpr uint8_t RICR = 0xA6;  // receive interrupt control
inline constexpr uint8_t RICR_HIGH = 0xA7;
inline constexpr uint8_t RSR = 0xA8;   // receive sync
inline constexpr uint8_t RCLR = 0xAA;  // receive count limit
inline constexpr uint8_t TC0R = 0xAE;  // time constant 0
inline constexpr uint8_t TMR = 0xB2;   // transmit mode
inline constexpr uint8_t TCSR = 0xB4;  // transmit command/status
inline constexpr uint8_t TCSR_COMMAND = 0xB5;
inline constexpr uint8_t TICR = 0xB6;  // transmit interrupt control
inline constexpr uint8_t TICR_HIGH = 0xB7;
}  // namespace iusc

// ---- CCAR: command in bits 15-11, channel mode in bits 9-8 ----
namespace ccar {
inline constexpr uint16_t kBusConfiguration = 0x000F;  // first write after reset
inline constexpr uint16_t kPurgeRxFifo = 0x4800;
inline constexpr uint16_t kPurgeTxFifo = 0x5000;
inline constexpr uint16_t kPurgeBothFifos = 0x5800;
inline constexpr uint16_t kLoadTxCharCount = 0x7000;
inline constexpr uint16_t kLsbFirst = 0xA000;
inline constexpr uint16_t kMsbFirst = 0xA800;
inline constexpr uint16_t kLowByteFirst = 0xB800;
inline constexpr uint16_t kReceiveReset = 0xC800;
inline constexpr uint16_t kModeInternalLoopback = 0x0300;  // channel mode bits 9-8
inline constexpr uint16_t kModeNormal = 0x0000;
}  // namespace ccar

// ---- DCAR: command in bits 15-12, bit 9 receive channel, bit 8 master bus request enable ----
namespace dcar {
inline constexpr uint16_t kPauseTx = 0x4100;
inline constexpr uint16_t kPauseRx = 0x4300;
inline constexpr uint16_t kStartTx = 0x7100;
inline constexpr uint16_t kStartRx = 0x7300;
inline constexpr uint16_t kPauseAll = 0xC000;
inline constexpr uint16_t kPauseAllBusEnabled = 0xC100;
}  // namespace dcar

// ---- Receive / transmit command bytes (RCSR and TCSR high byte) ----
namespace command {
inline constexpr uint8_t kSelectRequestLevel = 0x70;  // high ICR byte reads the DMA request level
inline constexpr uint8_t kSelectFifoStatus = 0x50;    // high ICR byte reads the FIFO status
inline constexpr uint8_t kEnterHuntMode = 0x30;
}  // namespace command

// ---- Values of the channel programme ----
namespace programme {
inline constexpr uint16_t kPcrRs485 = 0x78F9;
inline constexpr uint16_t kPcrNormal = 0xF8F9;
inline constexpr uint16_t kIocrLoopback = 0x00C0;
inline constexpr uint16_t kIocrTxcOutput = 0x0008;
inline constexpr uint16_t kCcsrClear = 0x2020;
inline constexpr uint8_t kCcsrLowExpected = 0x20;
inline constexpr uint16_t kHcrBrg0Enable = 0x0001;
inline constexpr uint16_t kCcrTwoWordBlocks = 0x8080;
inline constexpr uint16_t kCmrHdlc = 0x0606;
inline constexpr uint16_t kCmrAddressSearch = 0x0010;
inline constexpr uint16_t kRcsrInit = 0x61FF;
inline constexpr uint16_t kRicrInit = 0x1F08;
inline constexpr uint8_t kRxRequestLevel = 1;
inline constexpr uint8_t kRxFifoEmpty = 0;
inline constexpr uint16_t kRclrMax = 0xFFFF;
inline constexpr uint8_t kTxFifoEmpty = 0x20;  // transmit FIFO empty: 32 bytes free
inline constexpr uint16_t kTcsrInit = 0x60FF;
inline constexpr uint16_t kTicrInit = 0x1F00;
inline constexpr uint8_t kTxRequestLevel = 1;
inline constexpr uint16_t kDccrInit = 0x007F;
inline constexpr uint16_t kDcrInit = 0xA000;
inline constexpr uint16_t kRdmrLinkedList = 0xF200;
inline constexpr uint16_t kTdmrLinkedList = 0xF000;
inline constexpr uint16_t kModeTxEnable = 0x0002;  // TMR/RMR enable bit
inline constexpr uint16_t kCrcPresetOnes = 0x0400;
inline constexpr uint16_t kCrc32 = 0x1000;
inline constexpr uint16_t kCrcEnable = 0x0300;
}  // namespace programme

// ---- Values of the open-time initialisation, the interrupt handlers and StopPort ----
namespace arm {
inline constexpr uint16_t kDmaArmEobEol = 0x000C;  // TDIAR/RDIAR: end of buffer and end of list
inline constexpr uint8_t kRicrLowRunning = 0x0A;
inline constexpr uint8_t kRicrLowOverrunCleared = 0x08;
inline constexpr uint8_t kTicrLowRunning = 0x22;
inline constexpr uint8_t kRicrLowAfterTxStatus = 0x22;
inline constexpr uint16_t kDicrEnable = 0xA003;
inline constexpr uint16_t kIcrEnable = 0x80E8;
inline constexpr uint16_t kPsrSelect = 0xAAAA;  // written before driving or reading modem lines
}  // namespace arm

// ---- Status bits ----
namespace status {
inline constexpr uint16_t kDmaEndOfBuffer = 0x0004;  // TDMR/RDMR
inline constexpr uint16_t kDmaEndOfList = 0x0008;
inline constexpr uint16_t kDipTx = 0x0001;  // DMA interrupt pending
inline constexpr uint16_t kDipRx = 0x0002;
inline constexpr uint16_t kCdirTx = 1;
inline constexpr uint16_t kCdirRx = 2;
inline constexpr uint16_t kDccrRxStatus = 0x0020;  // DCCR interrupt pending bits
inline constexpr uint16_t kDccrTxStatus = 0x0008;
inline constexpr uint16_t kDccrClearRxStatus = 0x00A0;
inline constexpr uint16_t kDccrClearTxStatus = 0x0088;
inline constexpr uint16_t kRcsrOverrun = 0x0002;
inline constexpr uint16_t kRcsrCrcError = 0x0008;
inline constexpr uint16_t kTcsrUnderrun = 0x0002;
inline constexpr uint16_t kTcsrAbortSent = 0x0020;
inline constexpr uint16_t kEntryOverrun = 0x0002;  // receive entry status word (+6)
inline constexpr uint16_t kEntryCrcError = 0x0008;
}  // namespace status

}  // namespace wyvel32
