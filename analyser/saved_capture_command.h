// `lombex32 --decode FILE` from a shell: a saved capture decoded line by line as the decoded
// view shows a capture under way, limited by a filter, with the decoded list as CSV and the
// statistics at the end. It reads only the file: no driver host or port is needed.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "analyser/decode/link_protocol.h"

namespace qorval::analyser {

struct SavedCaptureOptions {
    std::string file;                          // the pcapng file
    std::optional<decode::LinkProtocol> link;  // the profile's when absent
    std::optional<std::string> filter;         // print and write only the frames it matches
    std::optional<std::string> csvFile;
    bool stats = false;
};

// True when the arguments (after the program name) ask for a saved capture.
bool AsksForSavedCapture(const std::vector<std::string>& args);

// The options of `lombex32 --decode FILE ...`, or the error.
std::variant<SavedCaptureOptions, std::string> ParseSavedCaptureArguments(
    const std::vector<std::string>& args);

// 0 when the file was read to its end; 1 when it could not be opened or broke part way (the
// frames before the break are still shown), or the CSV file could not be written.
int RunSavedCapture(const SavedCaptureOptions& options, const std::filesystem::path& profile,
                    std::ostream& out, std::ostream& err);

}  // namespace qorval::analyser
