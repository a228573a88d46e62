// The headless sub-commands of `qorval`, each on the configuration engine the window uses (the
// same model, rules, checks and store), for scripts and machines without a display:
//
//   qorval show [DRIVER [PORT]] [--store S]         the stored values, Name=value a line
//   qorval set DRIVER [PORT] Name=value... [--yes] [--store S]
//                                                   change values as the window's OK would
//   qorval apply                                    restart the driver host's ports
//   qorval log [--store S]                          the configuration log of the store
//
// Each returns the process exit status (command_support.h); results go to `out`, messages to
// `err`.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace qorval::applet::commands {

int RunShowCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int RunSetCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int RunApplyCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int RunLogCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace qorval::applet::commands
