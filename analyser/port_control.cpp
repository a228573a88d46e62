#include "analyser/port_control.h"

#include <array>
#include <charconv>
#include <cstring>

#include "analyser/analyser_app.h"
#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr const char* kNoDeviceInformation = "Could not retrieve device information!";
constexpr const char* kNoPortState = "Could not retrieve port state!";
constexpr const char* kNodeFailed = "Setting of node address failed!";
constexpr const char* kNodeChanged = "Node address changed.";
constexpr const char* kResetFailed = "Buffer Reset FAILED!";
constexpr const char* kResetDone = "Buffers reset sucessfully!";
constexpr const char* kNoModemStates = "Could not retrieve modem control states!";
constexpr const char* kModemNotSet = "Could not set the modem control states!";
constexpr const char* kPortStateNotSet = "Could not set the port state!";
constexpr const char* kCompleted = "Operation completed successfully!";
constexpr const char* kCharNotSent = "Could not send the character to the driver!";
constexpr const char* kIntegerRange = "Please enter an integer between %lld and %lld.";

constexpr const char* kCounter = "%10lu";
constexpr const char* kWord32 = "%08X";
constexpr const char* kNumber = "%5u";
constexpr const char* kWord16 = "%04X";
constexpr const char* kText = "%10s";

// A command's request failed: the port's going is said in place of the command's own text when
// that is the cause.
void ReportFailure(CAnalyserApp& app, uint32_t result, const char* text) {
    if (result != QORVAL_OK && !app.PortGone(result)) {
        app.ShowMessage(text);
    }
}

template <size_t N>
std::string_view Named(const std::array<std::string_view, N>& names, uint16_t code,
                       std::string_view other) {
    return code < N && !names[code].empty() ? names[code] : other;
}

std::string Counter(uint32_t value) {
    return StringPrintf(kCounter, static_cast<unsigned long>(value));
}
std::string Number(uint16_t value) {
    return StringPrintf(kNumber, static_cast<unsigned>(value));
}
std::string Word16(uint16_t value) {
    return StringPrintf(kWord16, static_cast<unsigned>(value));
}
std::string Word32(uint32_t value) {
    return StringPrintf(kWord32, static_cast<unsigned>(value));
}

// Parity as the radio group shows it: NONE 0, EVEN 3, ODD 1.
constexpr std::array<uint8_t, 3> kParityValues = {0, 3, 1};
constexpr size_t kClockSources = 4;  // RXC, TXC, BRG, DPLL
constexpr size_t kBrgSources = 2;    // PCLK, RTXC

}  // namespace

std::string_view CardTypeName(uint16_t code) {
    static constexpr std::array<std::string_view, 15> kNames = {
        "glen", "heath", "moor", "cove", "delta", "fjord", "brook", "",
        "",     "",      "",     "",     "tarn",  "",      "LAST"};
    return Named(kNames, code, "NONE");
}

std::string_view ChannelName(uint16_t code) {
    static constexpr std::array<std::string_view, 3> kNames = {"A", "B", "LAST"};
    return Named(kNames, code, "NONE");
}

std::string_view InterfaceName(uint16_t code) {
    static constexpr std::array<std::string_view, 9> kNames = {
        "", "EIA530", "RS232", "", "V.35", "", "", "", "MIL188"};
    return Named(kNames, code, "NONE");
}

std::string_view EncodingName(uint16_t code) {
    static constexpr std::array<std::string_view, 9> kNames = {"NONE", "NRZ", "NRZI", "",   "FM0",
                                                               "",     "",    "",     "FM1"};
    return Named(kNames, code, "Other");
}

std::string_view CrcModeName(uint16_t code) {
    static constexpr std::array<std::string_view, 5> kNames = {"", "Pre0", "Pre1", "", "CCITT"};
    return Named(kNames, code, "NONE");
}

std::vector<DeviceInfoField> FormatDeviceInfo(const PortInfo& info, const PortState* state) {
    auto stateField = [&](auto format) {
        return state != nullptr ? format(*state) : std::string{};
    };
    char oscillator[sizeof info.oscillator + 1] = {};
    std::memcpy(oscillator, info.oscillator, sizeof info.oscillator);
    return {
        {"Tx Frames:", stateField([](const PortState& s) { return Counter(s.txFrames); })},
        {"Rx Frames:", stateField([](const PortState& s) { return Counter(s.rxFrames); })},
        {"CRC Errors:", stateField([](const PortState& s) { return Counter(s.crcErrors); })},
        {"Overrun Errors:", stateField([](const PortState& s) { return Counter(s.overruns); })},
        {"Parity Errors:", stateField([](const PortState& s) { return Counter(s.parityErrors); })},
        {"Tx Packets:", stateField([](const PortState& s) { return Counter(s.txPackets); })},
        {"Rx Packets:", stateField([](const PortState& s) { return Counter(s.rxPackets); })},
        {"Options:", stateField([](const PortState& s) { return Word32(s.options); })},
        {"Status:", stateField([](const PortState& s) { return Word32(s.status); })},
        {"Tx Frame Size:", Number(info.maxTxFrame)},
        {"Rx Frame Size:", Number(info.maxRxFrame)},
        {"Tx DMA Channel:", Number(info.txDmaChannel)},
        {"Rx DMA Channel:", Number(info.rxDmaChannel)},
        {"Total Tx Frames:", Number(info.txBuffers)},
        {"Total Rx Frames:", Number(info.rxBuffers)},
        {"Hardware IRQ:", Number(info.irq)},
        {"Base I/O Addr:", Word16(info.ioBase)},
        {"Memory Base:", Word16(info.memoryBase)},
        {"Node Address:", Word16(info.nodeAddress)},
        {"Flags:", Word16(info.flags)},
        {"Chip:", Number(info.chip)},
        {"Run Mode:", Number(info.runMode)},
        {"Oscillator:", StringPrintf(kText, oscillator)},
        {"Card #:", std::string(CardTypeName(info.cardType))},
        {"Channel:", std::string(ChannelName(info.channel))},
        {"Electrical I/F:", std::string(InterfaceName(info.interfaceType))},
        {"DPLL Mode:", std::string(EncodingName(info.encoding))},
        {"CRC Mode:", std::string(CrcModeName(info.crcMode))},
    };
}

std::optional<std::vector<DeviceInfoField>> DeviceInfoCommand(CAnalyserApp& app) {
    if (!app.CheckPortSelected()) {
        return std::nullopt;
    }
    if (const uint32_t result = QORVAL_GetPortInfo(app.PortHandle(), &app.MutablePortInfo());
        result != QORVAL_OK) {
        ReportFailure(app, result, kNoDeviceInformation);
        return std::nullopt;
    }
    PortState state{};
    const uint32_t stateResult = QORVAL_GetPortState(app.PortHandle(), &state);
    const bool haveState = stateResult == QORVAL_OK;
    if (!haveState) {
        ReportFailure(app, stateResult, kNoPortState);
        if (!app.PortSelected()) {
            return std::nullopt;
        }
    }
    return FormatDeviceInfo(app.GetPortInfoRecord(), haveState ? &state : nullptr);
}

void SetNodeAddressCommand(CAnalyserApp& app, uint8_t address) {
    if (!app.CheckPortSelected()) {
        return;
    }
    app.MutableParms().node = address;
    if (const uint32_t result = QORVAL_SetNodeAddress(app.PortHandle(), address);
        result != QORVAL_OK) {
        ReportFailure(app, result, kNodeFailed);
    } else {
        app.Ui().ShowStatus(kNodeChanged);
    }
}

void ResetBuffersCommand(CAnalyserApp& app, bool transmit, bool receive) {
    if (!app.CheckPortSelected()) {
        return;
    }
    const uint16_t mask =
        (receive ? QORVAL_RESET_RECEIVE : 0) | (transmit ? QORVAL_RESET_TRANSMIT : 0);
    if (mask == 0) {
        return;
    }
    const uint32_t result = QORVAL_ResetBuffers(app.PortHandle(), mask);
    if (!app.PortGone(result)) {
        app.Ui().ShowStatus(result != QORVAL_OK ? kResetFailed : kResetDone);
    }
}

std::optional<uint16_t> GetModemCommand(CAnalyserApp& app) {
    if (!app.CheckPortSelected()) {
        return std::nullopt;
    }
    uint16_t word = 0;
    if (const uint32_t result = QORVAL_GetModemControl(app.PortHandle(), &word);
        result != QORVAL_OK) {
        ReportFailure(app, result, kNoModemStates);
        return std::nullopt;
    }
    return word;
}

void SetModemCommand(CAnalyserApp& app, uint16_t word) {
    if (app.CheckPortSelected()) {
        ReportFailure(app, QORVAL_SetModemControl(app.PortHandle(), word), kModemNotSet);
    }
}

std::optional<PortState> GetPortStateCommand(CAnalyserApp& app, bool announce) {
    if (!app.CheckPortSelected()) {
        return std::nullopt;
    }
    PortState state{};
    if (const uint32_t result = QORVAL_GetPortState(app.PortHandle(), &state);
        result != QORVAL_OK) {
        ReportFailure(app, result, kNoPortState);
        return std::nullopt;
    }
    if (announce) {
        app.ShowMessage(kCompleted);
    }
    return state;
}

void SetPortStateCommand(CAnalyserApp& app, const PortState& state) {
    if (!app.CheckPortSelected()) {
        return;
    }
    const uint32_t result = QORVAL_SetPortState(app.PortHandle(), &state);
    if (result == QORVAL_OK) {
        app.ShowMessage(kCompleted);
    } else {
        ReportFailure(app, result, kPortStateNotSet);
    }
}

PortStateEntries EntriesFromState(const PortState& state) {
    PortStateEntries entries;
    entries.rxTimeout = std::to_string(state.rxTimeout);
    entries.txTimeout = std::to_string(state.txTimeout);
    entries.divisor = std::to_string(state.divisor);
    entries.clockMultiplier = std::to_string(state.clockMultiplier);
    entries.dataBits = std::to_string(state.dataBits);
    entries.stopBits = std::to_string(state.stopBits);
    entries.txClock = state.txClock;
    entries.rxClock = state.rxClock;
    entries.parity = state.parity == 3 ? 1 : state.parity == 1 ? 2 : 0;
    entries.brgSource = state.brgSource;
    entries.loopback = state.loopback != 0;
    entries.rs485 = state.rs485 != 0;
    return entries;
}

std::optional<PortStateRefusal> ApplyPortStateEntries(const PortStateEntries& entries,
                                                      PortState& state) {
    struct Edit {
        PortStateEdit edit;
        const std::string& text;
        int64_t max;
        void (*store)(PortState&, int64_t);
    };
    const Edit edits[] = {
        {PortStateEdit::RxTimeout, entries.rxTimeout, UINT32_MAX,
         [](PortState& s, int64_t v) { s.rxTimeout = static_cast<uint32_t>(v); }},
        {PortStateEdit::TxTimeout, entries.txTimeout, UINT32_MAX,
         [](PortState& s, int64_t v) { s.txTimeout = static_cast<uint32_t>(v); }},
        {PortStateEdit::Divisor, entries.divisor, UINT16_MAX,
         [](PortState& s, int64_t v) { s.divisor = static_cast<uint16_t>(v); }},
        {PortStateEdit::ClockMultiplier, entries.clockMultiplier, UINT8_MAX,
         [](PortState& s, int64_t v) { s.clockMultiplier = static_cast<uint8_t>(v); }},
        {PortStateEdit::DataBits, entries.dataBits, UINT8_MAX,
         [](PortState& s, int64_t v) { s.dataBits = static_cast<uint8_t>(v); }},
        {PortStateEdit::StopBits, entries.stopBits, UINT8_MAX,
         [](PortState& s, int64_t v) { s.stopBits = static_cast<uint8_t>(v); }},
    };
    for (const Edit& edit : edits) {
        IntegerEntry entry = ParseIntegerEntry(edit.text, 0, edit.max);
        if (!entry.value) {
            return PortStateRefusal{edit.edit, std::move(entry.refusal)};
        }
        edit.store(state, *entry.value);
    }
    // A group without a selection keeps the field; a selection is its index (parity mapped).
    auto takeRadio = [](int index, size_t count, uint8_t& field, auto value) {
        if (index >= 0 && static_cast<size_t>(index) < count) {
            field = value(static_cast<size_t>(index));
        }
    };
    auto same = [](size_t index) { return static_cast<uint8_t>(index); };
    takeRadio(entries.txClock, kClockSources, state.txClock, same);
    takeRadio(entries.rxClock, kClockSources, state.rxClock, same);
    takeRadio(entries.parity, kParityValues.size(), state.parity,
              [](size_t index) { return kParityValues[index]; });
    takeRadio(entries.brgSource, kBrgSources, state.brgSource, same);
    state.loopback = entries.loopback ? 1 : 0;
    state.rs485 = entries.rs485 ? 1 : 0;
    return std::nullopt;
}

void TransmitCommCharCommand(CAnalyserApp& app, uint8_t character) {
    if (app.CheckPortSelected()) {
        ReportFailure(app, QORVAL_TransmitCommChar(app.PortHandle(), character), kCharNotSent);
    }
}

IntegerEntry ParseIntegerEntry(std::string_view text, int64_t min, int64_t max) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < min ||
        value > max) {
        return {std::nullopt, StringPrintf(kIntegerRange, static_cast<long long>(min),
                                           static_cast<long long>(max))};
    }
    return {value, {}};
}

}  // namespace qorval::analyser
