// The in-memory configuration of every driver, card and port that the configuration tool
// edits. It is loaded once from the store, edited in memory and stored only on OK.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "applet/card_types.h"

namespace qorval::applet {

// Marks a number that is not set (no DMA channel, default TxC mode, ...).
inline constexpr int32_t kNotSet = -1;

inline constexpr int kMaxDrivers = 4;
inline constexpr int kMaxPortsPerDriver = 4;

// Codes of `PortEntry::Mode`.
enum PortMode : int32_t {
    kModeFullDuplex = 0,
    kModeHalfDuplex = 1,
    kModeInterrupt = 2,
    kModeAutoInit = 4
};

// Codes of `PortEntry::TxClock` and `RxClock`.
enum ClockSource : int32_t { kClockRxc = 0, kClockTxc = 1, kClockBrg = 2, kClockDpll = 3 };

// Codes of `PortEntry::Dpll` (line encoding).
enum LineEncoding : int32_t {
    kDpllDisabled = 0,
    kDpllNrz = 1,
    kDpllNrzi = 2,
    kDpllFm0 = 4,
    kDpllFm1 = 8,
    kDpllManchester = 64,
    kDpllDiffBiPhaseLevel = 129,
    kDpllNrzb = 130,
    kDpllNrziMark = 131,
};

// Driver `Start` values.
inline constexpr int32_t kStartEnabled = 3;
inline constexpr int32_t kStartDisabled = 4;

// One port: the 41 values stored for it, in the order of the store. Every number is
// 32-bit; kNotSet (-1) is stored as 0xFFFFFFFF.
struct PortEntry {
    std::string name;        // key name "Port001".."Port004"
    std::string Oscillator;  // oscillator frequency in MHz, e.g. "7.37280"
    int32_t Parity = 0;      // 0 none, 1 odd, 3 even
    int32_t Channel = 0;     // 0 = A, 1 = B
    int32_t ClockX = 0;      // clock multiplier 1, 16, 32 or 64
    int32_t Enabled = 0;     // 0/1
    int32_t TxClock = 0;     // ClockSource
    int32_t RxClock = 0;     // ClockSource
    int32_t Mode = 0;        // PortMode
    int32_t Card = 0;        // CardType
    int32_t BaseIO = 0;      // base I/O address
    int32_t Interrupt = 0;   // IRQ number
    int32_t TxDMA = 0;       // DMA channel 0..3, -1 none
    int32_t RxDMA = 0;       // DMA channel 0..3, -1 none
    int32_t DataBits = 0;    // 5..8
    int32_t StopBits = 0;    // 1 or 2
    int32_t RS_485 = 0;      // 0/1
    int32_t TxBuffers = 0;
    int32_t TxBuffSize = 0;
    int32_t RxBuffers = 0;
    int32_t RxBuffSize = 0;
    int32_t Divisor = 0;    // baud rate generator divisor
    int32_t LoopBack = 0;   // 0/1
    int32_t TxTimeout = 0;  // driver timeout value
    int32_t RxTimeout = 0;  // driver timeout value
    int32_t BRGSource = 0;  // 0 PCLK, 1 RTXC
    int32_t UseNodeAddress = 0;
    int32_t SyncNodeAddress = 0;
    int32_t Dpll = 0;        // LineEncoding
    int32_t IdleState = 0;   // 0 flags, 1 mark, 2 space, 3 1/0, 4 mark/space
    int32_t CrcPreset = 0;   // 1 preset to 0, 2 preset to 1
    int32_t CrcUsed = 0;     // 0 disabled, 1 32-bit, 2 16-bit
    int32_t DPLLSource = 0;  // 16 BRG, 32 RTXC, 128 TRXC
    int32_t AutoinitBuffSize = 0;
    int32_t Idleloop = 0;
    int32_t Minflags = 0;
    int32_t Memory = 0;       // on-board memory window address
    int32_t Interface = 0;    // 1 EIA-530, 2 RS-232, 4 V.35, 8 MIL-188, 16/17 RS485, 20 EIA-530A
    int32_t Protocol = 0;     // never edited
    int32_t TXCMode = 0;      // 0 TxC output, 1 TxC input, -1 TxClock
    int32_t DPLLDivisor = 0;  // 8, 16 or 32

    bool operator==(const PortEntry&) const = default;
};

struct DriverEntry {
    std::string name;          // service key / section name
    std::string description;   // used in every message, tree label and log heading
    int32_t ErrorControl = 0;  // -1 when unknown
    std::string Group;         // empty when unknown
    int32_t Start = 0;         // 3 enabled, 4 disabled
    int32_t Type = 0;          // -1 when unknown
    int32_t port_count = 0;    // 0..4 ports in use
    int32_t max_ports = 0;     // capacity used by Add Card
    int32_t driver_type = 0;   // DriverType
    std::array<PortEntry, kMaxPortsPerDriver> ports{};

    bool operator==(const DriverEntry&) const = default;
};

// Selection levels set by the tree.
enum SelectionLevel : int32_t {
    kSelectNothing = 0,
    kSelectDriver = 1,
    kSelectCard = 2,
    kSelectPort = 3
};

struct ConfigModel {
    std::array<DriverEntry, kMaxDrivers> drivers{};
    int32_t driver_count = 0;
    int32_t selected_driver = 0;
    int32_t selected_port = 0;
    int32_t selection_level = kSelectNothing;
    bool platform_win9x = false;  // true when the Windows 95/98 "System.ini" store is used

    DriverEntry& driver(int32_t index) { return drivers.at(static_cast<size_t>(index)); }
    const DriverEntry& driver(int32_t index) const {
        return drivers.at(static_cast<size_t>(index));
    }
    PortEntry& port(int32_t d, int32_t p) { return driver(d).ports.at(static_cast<size_t>(p)); }
    const PortEntry& port(int32_t d, int32_t p) const {
        return driver(d).ports.at(static_cast<size_t>(p));
    }
    PortEntry& selected() { return port(selected_driver, selected_port); }
    const PortEntry& selected() const { return port(selected_driver, selected_port); }
};

// Empties every entry: names, descriptions and texts empty, every number 0. The
// selection and platform flag are left alone.
void ClearModel(ConfigModel& model);

// A card is a run of consecutive ports of one driver sharing one `BaseIO`.
struct CardRun {
    int32_t first_port = 0;
    int32_t port_count = 0;
};

// The cards of a driver as the tree and the edits see them.
std::vector<CardRun> CardsByBase(const DriverEntry& driver);

// The card run that holds port `port` of the driver.
CardRun CardOfPort(const DriverEntry& driver, int32_t port);

// The cards of a driver as the jumper text sees them: from port 0, stepping by the
// channels of the card type found at each card's first port, bounded by the port count.
std::vector<CardRun> CardsByType(const DriverEntry& driver);

// Port key name in the "Port%03d" form for a 1-based port number.
std::string PortKeyName(int32_t number);

}  // namespace qorval::applet
