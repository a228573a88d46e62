// The six port control commands without their dialogs: the library calls, the texts the
// dialogs show, and every message. Each command first needs a selected port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

class CAnalyserApp;

struct DeviceInfoField {
    std::string_view label;  // such as "Tx Frames:"
    std::string value;       // empty when the record could not be read
};

// The fields of "Driver Device Information"; state == nullptr leaves the port state fields
// empty.
std::vector<DeviceInfoField> FormatDeviceInfo(const PortInfo& info, const PortState* state);
std::string_view CardTypeName(uint16_t code);
std::string_view ChannelName(uint16_t code);
std::string_view InterfaceName(uint16_t code);
std::string_view EncodingName(uint16_t code);
std::string_view CrcModeName(uint16_t code);

// Device Info: refreshes the application's PortInfo; nullopt (after the message) when it
// cannot be read, so no dialog opens.
std::optional<std::vector<DeviceInfoField>> DeviceInfoCommand(CAnalyserApp& app);

// Set Node Address OK: the "NODE" setting takes the value, then the port.
void SetNodeAddressCommand(CAnalyserApp& app, uint8_t address);

// Reset Buffers OK; both boxes clear does nothing.
void ResetBuffersCommand(CAnalyserApp& app, bool transmit, bool receive);

// Get/Set Modem: opening and "&Get", and "&Set".
std::optional<uint16_t> GetModemCommand(CAnalyserApp& app);
void SetModemCommand(CAnalyserApp& app, uint16_t word);

// Get/Set Port State: opening (announce false) and "&Get" (announce true), and "&Set".
std::optional<PortState> GetPortStateCommand(CAnalyserApp& app, bool announce);
void SetPortStateCommand(CAnalyserApp& app, const PortState& state);

// The controls of the Port State dialog as the user left them. A radio group with no button
// selected (-1: the record was never read) leaves its field as it is.
struct PortStateEntries {
    std::string rxTimeout, txTimeout, divisor, clockMultiplier, dataBits, stopBits;
    int txClock = 0, rxClock = 0;  // 0 RXC, 1 TXC, 2 BRG, 3 DPLL
    int parity = 0;                // radio index: 0 NONE, 1 EVEN, 2 ODD
    int brgSource = 0;             // 0 PCLK, 1 RTXC
    bool loopback = false, rs485 = false;
};
// The edits of the dialog, in the order they are taken.
enum class PortStateEdit { RxTimeout, TxTimeout, Divisor, ClockMultiplier, DataBits, StopBits };
struct PortStateRefusal {
    PortStateEdit edit;
    std::string text;  // "Please enter an integer between 0 and 255."
};
// The controls showing a record as read (a stored parity other than 1 or 3 shows NONE).
PortStateEntries EntriesFromState(const PortState& state);
// Takes the controls into the record in dialog order; at the first refused entry it stops
// (that field and the later ones keep their values) and says which edit refused what.
std::optional<PortStateRefusal> ApplyPortStateEntries(const PortStateEntries& entries,
                                                      PortState& state);

// Transmit Comm Char "&Send".
void TransmitCommCharCommand(CAnalyserApp& app, uint8_t character);

// An edit's integer within [min, max], or the text that refuses it.
struct IntegerEntry {
    std::optional<int64_t> value;
    std::string refusal;
};
IntegerEntry ParseIntegerEntry(std::string_view text, int64_t min, int64_t max);

}  // namespace qorval::analyser
