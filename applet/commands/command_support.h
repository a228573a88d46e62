// What the `qorval` sub-commands share: their options, the store they name, and finding a driver
// and a port of the model by the names an administrator types.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "applet/config_model.h"
#include "applet/config_store.h"

namespace qorval::applet::commands {

// Exit statuses of the sub-commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // refused, not saved, or a port not running
inline constexpr int kExitUsage = 2;

struct CommandLine {
    std::optional<std::string_view> store;  // --store NAME (as QORVAL_STORE names a store)
    bool yes = false;                       // --yes, where the command takes it
    std::vector<std::string_view> words;    // everything else, in order
};

// Takes `--store NAME`, `--store=NAME` and (with `takes_yes`) `--yes` out of `args`; false when
// an option is unknown or lacks its value.
bool ParseCommandLine(std::span<const std::string_view> args, bool takes_yes, CommandLine& line);

// The store the command line names, or (when it names none) the one QORVAL_STORE names, as the
// window chooses it; nullopt after telling `err` why there is none.
std::optional<StoreKind> CommandStore(const CommandLine& line, std::ostream& err);

// Reads the store the command line names into `model`, without changing it, as `show` and
// `log` do; false after telling `err` why it cannot (each line after `prefix`).
bool ReadStoredModel(const CommandLine& line, ConfigModel& model, std::ostream& err,
                     std::string_view prefix);

// The driver entry named `name` (its service key name, without regard to case), or -1.
int32_t FindDriver(const ConfigModel& model, std::string_view name);
// The port of `driver` given by its number ("1") or key name ("Port001"), or -1.
int32_t FindPort(const DriverEntry& driver, std::string_view port);

// "no driver NAME is configured" with, for the 16C32 driver, where its ports come from.
std::string NoSuchDriver(std::string_view name);

}  // namespace qorval::applet::commands
