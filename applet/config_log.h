// The configuration log: a plain-text record of every driver's settings and of the jumpers
// each card needs, written after every successful OK.
#pragma once

#include <filesystem>
#include <string>

#include "applet/config_model.h"

namespace qorval::applet {

// The whole log text, with CR LF line ends.
std::string ComposeConfigLog(const ConfigModel& model);

// The card headings and jumper pictures of one driver, each card followed by an empty line.
std::string ComposeDriverJumpers(const DriverEntry& driver);

// The Jumper Settings page text: ComposeDriverJumpers for every driver.
std::string ComposeJumperPage(const ConfigModel& model);

// Replaces `file` with the log text. A file that cannot be written is left as it was and
// the text is lost without a message; the result says whether it was written.
bool WriteConfigLog(const ConfigModel& model, const std::filesystem::path& file);

}  // namespace qorval::applet
