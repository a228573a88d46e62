#include "applet/ok_checks.h"

#include <array>
#include <string>

#include "applet/data_rate.h"
#include "applet/resource_use.h"
#include "applet/text_util.h"

namespace qorval::applet {

namespace {

constexpr const char* kInvalidPortMode = "Invalid Port Mode";
constexpr const char* kDmaConflict = "DMA Conflict";
constexpr const char* kDisablePort = "Ignore and disable the port?";
constexpr const char* kTxDmaMissing =
    "Transmit DMA must be defined when not running in interrupt mode.\n";
constexpr const char* kRxDmaMissing =
    "Receive DMA must be defined when not running in interrupt mode.\n";
constexpr const char* kDmaMustDiffer =
    "Transmit and receive DMA must be different when running if full duplex or auto-init mode.\n";
constexpr const char* kDmaMustMatch =
    "Transmit and receive DMA must be the same when running in half duplex mode.\n";
constexpr const char* kTxDmaConflictOn = "The transmit DMA channel on\n";
constexpr const char* kRxDmaConflictOn = "The receive DMA channel on\n";
constexpr const char* kConflictingWith = "is conflicting with\n";
constexpr const char* kDisableFirstPort = "Ignore and disable the first port?";
constexpr const char* kBaseConflict =
    "The base I/O address on %s of the\n%s driver\nis conflicting with %s of the\n%s driver.\n\n"
    "Do you want to ignore the conflict?\nSelecting 'Yes' will disable the first port.\n"
    "Selecting 'No'  will allow you to change the address.";
constexpr const char* kBaseConflictCaption = "Base I/O Address conflict";
constexpr const char* kIrqConflict =
    "The interrupt on %s of the\n%s driver\nis conflicting with %s of the\n%s driver.\n\n"
    "Do you want to ignore the conflict?\nSelecting 'Yes' will disable the first port.\n"
    "Selecting 'No'  will allow you to change the interrupt.";
constexpr const char* kIrqConflictCaption = "IRQ conflict";
constexpr const char* kTimeoutQuestion =
    "%s, %s:\n\nThe current timeout values are:\n\tRxTimeout: %d\n\tTxTimeout: %d.\n\n"
    "The recomended settings are:\n\tRxTimeout: %d\n\tTxTimeout: %d.\n\n"
    "Do you want to update the timeouts with the recommended values?";
constexpr const char* kTimeoutCaption = "Recommended Timeouts";

constexpr double kTimeoutScale = 250000.0;
constexpr double kTimeoutFloorScale = 8000000.0;
constexpr uint32_t kTimeoutCap = 250000;

CheckResult Abort(ConfigModel& model, PortRef at, SheetPage page, FocusField field) {
    model.selected_driver = at.driver;
    model.selected_port = at.port;
    model.selection_level = kSelectPort;
    return {false, page, field};
}

// A port takes part in the resource checks when its driver is enabled and it is enabled.
bool Active(const ConfigModel& model, int32_t d, int32_t p) {
    return model.driver(d).Start == kStartEnabled && model.port(d, p).Enabled == 1;
}

std::string PortTitle(const ConfigModel& model, int32_t d, int32_t p) {
    return model.driver(d).description + ", " + model.port(d, p).name;
}

// Asks a DMA question; Yes disables the port of `at` and continues.
bool AskDisable(ConfigModel& model, PortRef at, const std::string& text, ui::UserMessages& user) {
    if (!AskYesNo(user, text, kDmaConflict)) {
        return false;
    }
    model.port(at.driver, at.port).Enabled = 0;
    return true;
}

bool DmaNotSet(int32_t channel) {
    return static_cast<uint32_t>(channel) > 3;
}

// Runs `check(ref)` for each active port; a check returns the field to focus on abort.
template <typename Check>
CheckResult ForEachActivePort(ConfigModel& model, Check&& check) {
    CheckResult result;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        if (!Active(model, d, p)) {
            return true;
        }
        const FocusField failed = check(PortRef{d, p});
        if (failed != FocusField::None) {
            result = Abort(model, {d, p}, SheetPage::SystemResources, failed);
            return false;
        }
        return true;
    });
    return result;
}

// Pass a: DMA channels must be defined outside interrupt mode.
FocusField CheckDmaDefined(ConfigModel& model, PortRef at, ui::UserMessages& user) {
    const std::string head = PortTitle(model, at.driver, at.port) + ":\n\n";
    const PortEntry& port = model.port(at.driver, at.port);
    if (port.Mode == kModeInterrupt) {
        return FocusField::None;
    }
    if (DmaNotSet(port.TxDMA) &&
        !AskDisable(model, at, head + kTxDmaMissing + kDisablePort, user)) {
        return FocusField::TransmitDma;
    }
    if (port.Enabled == 1 && DmaNotSet(port.RxDMA) &&
        !AskDisable(model, at, head + kRxDmaMissing + kDisablePort, user)) {
        return FocusField::ReceiveDma;
    }
    return FocusField::None;
}

// Pass b: the two channels must differ except in half duplex, where they must match.
FocusField CheckDmaPairing(ConfigModel& model, PortRef at, ui::UserMessages& user) {
    const PortEntry& port = model.port(at.driver, at.port);
    const char* problem = nullptr;
    if (port.TxDMA == port.RxDMA && port.Mode != kModeHalfDuplex && port.Mode != kModeInterrupt) {
        problem = kDmaMustDiffer;
    } else if (port.TxDMA != port.RxDMA && port.Mode == kModeHalfDuplex) {
        problem = kDmaMustMatch;
    }
    if (problem == nullptr) {
        return FocusField::None;
    }
    const std::string text =
        PortTitle(model, at.driver, at.port) + ":\n\n" + problem + kDisablePort;
    return AskDisable(model, at, text, user) ? FocusField::None : FocusField::TransmitDma;
}

// Passes c and d: no other active port may use this port's transmit (receive) channel.
FocusField CheckDmaShared(ConfigModel& model, PortRef at, bool transmit, ui::UserMessages& user) {
    const PortEntry& port = model.port(at.driver, at.port);
    const int32_t channel = transmit ? port.TxDMA : port.RxDMA;
    if (channel == kNotSet) {
        return FocusField::None;
    }
    FocusField failed = FocusField::None;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        if ((d == at.driver && p == at.port) || !Active(model, d, p)) {
            return true;
        }
        const PortEntry& other = model.port(d, p);
        if (other.TxDMA != channel && other.RxDMA != channel) {
            return true;
        }
        const std::string text = std::string(transmit ? kTxDmaConflictOn : kRxDmaConflictOn) +
                                 PortTitle(model, at.driver, at.port) + "\n" + kConflictingWith +
                                 PortTitle(model, d, p) + ".\n" + kDisableFirstPort;
        if (!AskDisable(model, at, text, user)) {
            failed = transmit ? FocusField::TransmitDma : FocusField::ReceiveDma;
        }
        return false;  // the first port is now disabled, or the check aborts
    });
    return failed;
}

// Asks about every ordered pair of active ports for which `conflicts` holds; Yes disables
// the first port of the pair.
template <typename Conflicts>
CheckResult CheckPairs(ConfigModel& model, ui::UserMessages& user, const char* format,
                       const char* caption, FocusField field, Conflicts&& conflicts) {
    CheckResult result;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        bool keep_going = true;
        ForEachPort(model, [&](int32_t d2, int32_t p2) {
            if (!Active(model, d, p) || (d == d2 && p == p2) || !Active(model, d2, p2) ||
                !conflicts(PortRef{d, p}, PortRef{d2, p2})) {
                return true;
            }
            const std::string text =
                Format(format, model.port(d, p).name.c_str(), model.driver(d).description.c_str(),
                       model.port(d2, p2).name.c_str(), model.driver(d2).description.c_str());
            if (AskYesNo(user, text, caption)) {
                model.port(d, p).Enabled = 0;
                return false;
            }
            result = Abort(model, {d, p}, SheetPage::SystemResources, field);
            keep_going = false;
            return false;
        });
        return keep_going;
    });
    return result;
}

}  // namespace

CheckResult CheckPortModes(ConfigModel& model, ui::UserMessages& user) {
    CheckResult result;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        const std::string refusal = PortModeRefusal(model, model.driver(d), model.port(d, p).Mode);
        if (refusal.empty()) {
            return true;
        }
        ShowError(user, refusal, kInvalidPortMode);
        result = Abort(model, {d, p}, SheetPage::SystemResources, FocusField::PortMode);
        return false;
    });
    return result;
}

CheckResult CheckDmaSettings(ConfigModel& model, ui::UserMessages& user) {
    CheckResult result =
        ForEachActivePort(model, [&](PortRef at) { return CheckDmaDefined(model, at, user); });
    if (result.proceed) {
        result =
            ForEachActivePort(model, [&](PortRef at) { return CheckDmaPairing(model, at, user); });
    }
    if (result.proceed) {
        result = ForEachActivePort(
            model, [&](PortRef at) { return CheckDmaShared(model, at, true, user); });
    }
    if (result.proceed) {
        result = ForEachActivePort(
            model, [&](PortRef at) { return CheckDmaShared(model, at, false, user); });
    }
    return result;
}

CheckResult CheckBaseConflicts(ConfigModel& model, ui::UserMessages& user) {
    return CheckPairs(model, user, kBaseConflict, kBaseConflictCaption, FocusField::BaseAddress,
                      [&](PortRef a, PortRef b) {
                          return a.driver != b.driver && model.port(a.driver, a.port).BaseIO ==
                                                             model.port(b.driver, b.port).BaseIO;
                      });
}

CheckResult CheckIrqConflicts(ConfigModel& model, ui::UserMessages& user) {
    return CheckPairs(model, user, kIrqConflict, kIrqConflictCaption, FocusField::Interrupt,
                      [&](PortRef a, PortRef b) {
                          const PortEntry& first = model.port(a.driver, a.port);
                          const PortEntry& second = model.port(b.driver, b.port);
                          const bool same_card =
                              a.driver == b.driver && first.BaseIO == second.BaseIO;
                          return first.Interrupt == second.Interrupt && !same_card;
                      });
}

bool RecommendedTimeouts(const PortEntry& port, double rate, Timeouts& out) {
    if (!(rate > 0) || port.RxBuffSize < 1 || port.TxBuffSize < 1 || port.DataBits < 5 ||
        port.DataBits > 8 || port.StopBits < 1 || port.StopBits > 2) {
        return false;
    }
    const int parity_bits = (port.Parity == 1 || port.Parity == 3) ? 1 : 0;
    const double char_time = (port.DataBits + parity_bits + port.StopBits + 1) / rate;
    const double floor = char_time * kTimeoutFloorScale;
    const auto one = [&](int32_t size) {
        const double raw = size * char_time * kTimeoutScale;
        double value = raw < floor ? floor : raw;
        if (value > kTimeoutCap) {
            value = kTimeoutCap;
        }
        return static_cast<uint32_t>(value);
    };
    out.rx = one(port.RxBuffSize);
    out.tx = one(port.TxBuffSize);
    return true;
}

CheckResult RecommendTimeouts(ConfigModel& model, ui::UserMessages& user) {
    CheckResult result;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        if (!EqualsNoCase(model.driver(d).name, DriverInfo(kHestabe5).name)) {
            return true;
        }
        PortEntry& port = model.port(d, p);
        Timeouts recommended;
        if (!RecommendedTimeouts(port, ComputeDataRate(model, d, p), recommended)) {
            return true;
        }
        if (recommended.rx == static_cast<uint32_t>(port.RxTimeout) &&
            recommended.tx == static_cast<uint32_t>(port.TxTimeout)) {
            return true;
        }
        const std::string text =
            Format(kTimeoutQuestion, model.driver(d).description.c_str(), port.name.c_str(),
                   port.RxTimeout, port.TxTimeout, static_cast<int>(recommended.rx),
                   static_cast<int>(recommended.tx));
        const ui::MessageAnswer answer = user.ShowMessage(
            {text, kTimeoutCaption, ui::MessageIcon::Question, ui::MessageButtons::YesNoCancel, {}});
        if (answer == ui::MessageAnswer::Cancel) {
            // The selection is never moved by this step, so it is still the earlier one.
            result = {false, SheetPage::Current, FocusField::None};
            return false;
        }
        if (answer == ui::MessageAnswer::Yes) {
            port.RxTimeout = static_cast<int32_t>(recommended.rx);
            port.TxTimeout = static_cast<int32_t>(recommended.tx);
        }
        return true;
    });
    return result;
}

CheckResult RunOkChecks(ConfigModel& model, ui::UserMessages& user) {
    using Check = CheckResult (*)(ConfigModel&, ui::UserMessages&);
    constexpr std::array<Check, 5> kSequence = {
        CheckPortModes, CheckDmaSettings, CheckBaseConflicts, CheckIrqConflicts, RecommendTimeouts};
    for (Check check : kSequence) {
        const CheckResult result = check(model, user);
        if (!result.proceed) {
            return result;
        }
    }
    return {};
}

}  // namespace qorval::applet
