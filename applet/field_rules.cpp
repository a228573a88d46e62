#include "applet/field_rules.h"

#include "applet/model_edits.h"
#include "applet/resource_use.h"
#include "applet/text_util.h"

namespace qorval::applet {

namespace {

constexpr const char* kIncorrectAddress = "Incorrect Address";
constexpr const char* kBaseEnding = "The base I/O address must end in 0 or 8.";
constexpr const char* kBaseInUse = "IO Address %X is in use by %s on the %s driver.";
constexpr const char* kAddressConflict = "IO Address Conflict";
constexpr const char* kMemoryBoundary =
    "The memory address must be on a 4K boundary (last 3 digits need to be zero)!";
constexpr const char* kMemoryRange = "The memory address must be between 0x80000 and 0xfc000.";
constexpr const char* kIrqInUse =
    "Interrupt %d is in use by %s on the %s driver.\nDisable that port or choose a different IRQ.";
constexpr const char* kIrqConflict = "IRQ Conflict";
constexpr const char* kInvalidPortMode = "Invalid Port Mode";
constexpr const char* kBufferCaption = "Illegal Buffer Value";
constexpr const char* kBufferCount = "The number of buffers must be greater than 0";
constexpr const char* kBufferSize = "The buffer size must be greater than 0";
constexpr const char* kBufferEven = "The buffer size must be an even number";
constexpr const char* kOnboardMemoryText =
    "Requested memory exceeds available on-board memory!\n\nRequested Memory = %lluK\n"
    "Available Memory = 256K\n\nPlease reduce the buffer size OR the number of buffers.";
constexpr const char* kOnlyWyvel32 = "This option is only valid with the 16C32 HDLC/SDLC driver.";
constexpr const char* kInvalidCrc = "Invalid CRC Option";
constexpr const char* kInvalidIdle = "Invalid Idle State";
constexpr const char* kOnlySpruceNutmeg =
    "This option is only valid with the Spruce or Nutmeg cards.";
constexpr const char* kInvalidInterface = "Invalid Interface Option";
constexpr const char* kRxTimeoutZero = "You must select a RxTimeout value greater than zero";
constexpr const char* kInvalidTimeout = "Invalid Timeout Requested";
constexpr const char* kInvalidDpll = "Invalid DPLL";
constexpr const char* kInvalidDpllSource = "Invalid DPLL Source";

constexpr uint32_t kMemoryLowest = 0x80000;
constexpr uint32_t kMemoryHighest = 0xFC000;
constexpr int32_t kCrc32 = 1;
constexpr int32_t kEia530A = 20;
constexpr int32_t kDpllSourceTrxc = 128;

const DriverEntry& SelectedDriver(const ConfigModel& model) {
    return model.driver(model.selected_driver);
}

bool IsWyvel32(const ConfigModel& model) {
    return SelectedDriver(model).driver_type == kWyvel32;
}

// Refuses `code` with `caption` unless the selected driver is Wyvel32.
FieldResult OnlyWithWyvel32(const ConfigModel& model, bool needs_wyvel32, const char* caption,
                            ui::UserMessages& user) {
    if (needs_wyvel32 && !IsWyvel32(model)) {
        ShowError(user, kOnlyWyvel32, caption);
        return FieldResult::Refused;
    }
    return FieldResult::Accepted;
}

int32_t& BufferSlot(PortEntry& port, BufferField field) {
    switch (field) {
        case BufferField::TxBuffSize:
            return port.TxBuffSize;
        case BufferField::TxBuffers:
            return port.TxBuffers;
        case BufferField::RxBuffSize:
            return port.RxBuffSize;
        case BufferField::RxBuffers:
            break;
    }
    return port.RxBuffers;
}

}  // namespace

FieldResult ApplyBaseAddress(ConfigModel& model, std::string_view text, ui::UserMessages& user) {
    if (text.empty() || (text.back() != '0' && text.back() != '8')) {
        ShowError(user, kBaseEnding, kIncorrectAddress);
        return FieldResult::Refused;
    }
    const int32_t base = static_cast<int32_t>(ReadHex(text));
    const int32_t old_base = model.selected().BaseIO;
    if (base == old_base) {
        return FieldResult::Accepted;
    }
    if (const auto user_of = FindBaseUser(model, base)) {
        const DriverEntry& owner = model.driver(user_of->driver);
        ShowError(user,
                  Format(kBaseInUse, static_cast<unsigned>(base),
                         owner.ports[static_cast<size_t>(user_of->port)].name.c_str(),
                         owner.description.c_str()),
                  kAddressConflict);
        return FieldResult::Refused;
    }
    MoveCardBase(model, base, old_base);
    return FieldResult::Accepted;
}

FieldResult ApplyMemoryAddress(ConfigModel& model, std::string_view text, ui::UserMessages& user) {
    if (text.size() < 3 || text.substr(text.size() - 3) != "000") {
        ShowError(user, kMemoryBoundary, kIncorrectAddress);
        return FieldResult::Refused;
    }
    const uint32_t address = ReadHex(text);
    if (address < kMemoryLowest || address > kMemoryHighest) {
        ShowError(user, kMemoryRange, kIncorrectAddress);
        return FieldResult::Refused;
    }
    model.selected().Memory = static_cast<int32_t>(address);
    return FieldResult::Accepted;
}

FieldResult ApplyInterrupt(ConfigModel& model, int32_t irq, ui::UserMessages& user) {
    if (irq == model.selected().Interrupt) {
        return FieldResult::Accepted;
    }
    if (const auto user_of = FindEnabledIrqUser(model, irq)) {
        const DriverEntry& owner = model.driver(user_of->driver);
        ShowError(
            user,
            Format(kIrqInUse, irq, owner.ports[static_cast<size_t>(user_of->port)].name.c_str(),
                   owner.description.c_str()),
            kIrqConflict);
        return FieldResult::Refused;
    }
    MoveCardInterrupt(model, irq);
    return FieldResult::Accepted;
}

FieldResult ApplyPortMode(ConfigModel& model, int32_t mode, ui::UserMessages& user) {
    const std::string refusal = PortModeRefusal(model, SelectedDriver(model), mode);
    if (!refusal.empty()) {
        ShowError(user, refusal, kInvalidPortMode);
        return FieldResult::Refused;
    }
    PortEntry& port = model.selected();
    port.Mode = mode;
    if (mode == kModeInterrupt) {
        port.TxDMA = kNotSet;
        port.RxDMA = kNotSet;
    }
    return FieldResult::Accepted;
}

void ApplyDmaChannel(ConfigModel& model, bool transmit, int32_t channel) {
    PortEntry& port = model.selected();
    (transmit ? port.TxDMA : port.RxDMA) = channel;
    if (port.Mode == kModeHalfDuplex) {
        (transmit ? port.RxDMA : port.TxDMA) = channel;
    }
}

uint64_t OnboardMemoryNeeded(const PortEntry& port) {
    const auto term = [](int32_t size, int32_t count) {
        return (uint64_t{static_cast<uint32_t>(size)} + 16) *
               uint64_t{static_cast<uint32_t>(count)};
    };
    return term(port.TxBuffSize, port.TxBuffers) + term(port.RxBuffSize, port.RxBuffers);
}

FieldResult ApplyBufferValue(ConfigModel& model, BufferField field, std::string_view text,
                             ui::UserMessages& user) {
    const int32_t value = ReadDecimal(text);
    const bool is_size = field == BufferField::TxBuffSize || field == BufferField::RxBuffSize;
    if (value <= 0) {
        ShowError(user, is_size ? kBufferSize : kBufferCount, kBufferCaption);
        return FieldResult::Refused;
    }
    PortEntry candidate = model.selected();
    BufferSlot(candidate, field) = value;
    if (IsWyvel32(model)) {
        if (is_size && value % 2 != 0) {
            ShowError(user, kBufferEven, kBufferCaption);
            return FieldResult::Refused;
        }
        const uint64_t total = OnboardMemoryNeeded(candidate);
        if (total > kOnboardMemory) {
            ShowError(user,
                      Format(kOnboardMemoryText, static_cast<unsigned long long>(total / 1024)),
                      kBufferCaption);
            return FieldResult::Refused;
        }
    }
    BufferSlot(model.selected(), field) = value;
    return FieldResult::Accepted;
}

FieldResult ApplyCrcUsed(ConfigModel& model, int32_t code, ui::UserMessages& user) {
    const FieldResult result = OnlyWithWyvel32(model, code == kCrc32, kInvalidCrc, user);
    if (result == FieldResult::Accepted) {
        model.selected().CrcUsed = code;
    }
    return result;
}

FieldResult ApplyIdleState(ConfigModel& model, int32_t code, ui::UserMessages& user) {
    const bool wyvel32_only = code == 2 || code == 3 || code == 4;
    const FieldResult result = OnlyWithWyvel32(model, wyvel32_only, kInvalidIdle, user);
    if (result == FieldResult::Accepted) {
        model.selected().IdleState = code;
    }
    return result;
}

FieldResult ApplyInterface(ConfigModel& model, int32_t code, ui::UserMessages& user) {
    const int32_t card = model.selected().Card;
    if (code == kEia530A && card != kSpruce && card != kNutmeg) {
        ShowError(user, kOnlySpruceNutmeg, kInvalidInterface);
        return FieldResult::Refused;
    }
    model.selected().Interface = code;
    return FieldResult::Accepted;
}

FieldResult ApplyRxTimeout(ConfigModel& model, std::string_view text, ui::UserMessages& user) {
    const int32_t value = ReadDecimal(text);
    if (value == 0) {
        ShowPlain(user, kRxTimeoutZero, kInvalidTimeout);
        return FieldResult::KeptText;
    }
    model.selected().RxTimeout = value;
    return FieldResult::Accepted;
}

FieldResult ApplyDpll(ConfigModel& model, int32_t code, ui::UserMessages& user) {
    const bool wyvel32_only =
        code == kDpllDiffBiPhaseLevel || code == kDpllNrziMark || code == kDpllNrzb;
    const FieldResult result = OnlyWithWyvel32(model, wyvel32_only, kInvalidDpll, user);
    if (result == FieldResult::Accepted) {
        model.selected().Dpll = code;
    }
    return result;
}

FieldResult ApplyDpllSource(ConfigModel& model, int32_t code, ui::UserMessages& user) {
    const FieldResult result =
        OnlyWithWyvel32(model, code == kDpllSourceTrxc, kInvalidDpllSource, user);
    if (result == FieldResult::Accepted) {
        model.selected().DPLLSource = code;
    }
    return result;
}

}  // namespace qorval::applet
