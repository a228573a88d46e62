#pragma once
// The texts of the "Port Information" dialog and the record its OK button builds from them.
// Plain functions over the PortInfo and PortState records, so every format, enable rule, the
// data rate and the record can be checked without a window.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::dialogs {

// The read-only texts of the "Port Info" group.
enum InfoField : int {
    kBaseIo,
    kTxDma,
    kRxDma,
    kHardwareInt,
    kTxFrameSize,
    kRxFrameSize,
    kTxFrames,
    kRxFrames,
    kCard,
    kChannel,
    kRunMode,
    kOscillator,
    kInfoFieldCount
};

// The controls of the "Port State" group.
enum StateField : int {
    kRxTimeout,
    kTxTimeout,
    kDivisor,
    kClockX,
    kDatabits,
    kStopbits,
    kParity,
    kNodeAdd,
    kCrcPreset,
    kDpll,
    kTxClock,
    kRxClock,
    kBrgSource,
    kLoopback,
    kRs485,
    kStateFieldCount
};

struct InfoFieldSpec {
    std::string_view label;       // "Base IO:"
    std::string_view objectName;  // "baseIo"
};

struct StateFieldSpec {
    std::string_view label;
    std::string_view objectName;
    int capabilityBit;                   // bit of the PortInfo capability mask that enables it
    std::vector<std::string_view> list;  // the drop-down list's entries; empty: an edit field
    uint32_t maxValue;                   // largest value an edit field takes
};

const std::array<InfoFieldSpec, kInfoFieldCount>& InfoFields();
const std::array<StateFieldSpec, kStateFieldCount>& StateFields();

using InfoTexts = std::array<std::string, kInfoFieldCount>;
using StateTexts = std::array<std::string, kStateFieldCount>;

// Every text as the dialog shows it before a record is read: "N/A".
InfoTexts UnreadInfoTexts();
StateTexts UnreadStateTexts();

InfoTexts FormatPortInfo(const PortInfo& info);
StateTexts FormatPortState(const PortState& state);

// Whether the capability mask lets the user change the field.
bool FieldEnabled(StateField field, uint32_t capabilityMask);

// "Tx Data Rate:" ("%.4f") from the oscillator and card texts and the clock texts on screen.
std::string DataRateText(const InfoTexts& info, const StateTexts& state);

// The record OK writes: `driverRecord` (the port's state read at OK, so fields the dialog does
// not show keep the driver's values) with every shown field taken from its text. A field still
// showing "N/A" keeps the driver's value, and a list text that is a plain number (how a value
// outside the list is shown) is written back as that number.
PortState BuildPortState(const StateTexts& texts, const PortState& driverRecord);

}  // namespace qorval::dialogs
