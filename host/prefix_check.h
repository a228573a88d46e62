#pragma once
// A prefix made before the suite kept its files private may still be open to every user.

#include <filesystem>
#include <string>

namespace wyvel32::host {

// A warning line when `prefix` grants anything to every user ("other" bits), with the command
// that closes it; an empty string otherwise (or when it does not exist).
std::string PrefixExposureWarning(const std::filesystem::path& prefix);

}  // namespace wyvel32::host
