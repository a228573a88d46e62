// The analyser from a shell: `lombex32 --capture` captures a port until SIGINT or a time
// limit, printing each frame's display lines to standard output and every message box text to
// standard error; `lombex32 --replay` puts the frames of a capture file onto a port.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "analyser/decode/link_protocol.h"
#include "analyser/replay.h"

namespace qorval::analyser {

struct HeadlessOptions {
    uint16_t port = 1;                   // the Wyvel32 port
    std::optional<int> format;           // display format; the profile's when absent
    bool decoded = false;                // the decoded view instead
    std::optional<decode::LinkProtocol> link;  // the profile's when absent
    std::optional<std::string> filter;   // show and log only the frames it matches
    bool stats = false;                  // print the statistics at the end
    std::optional<std::string> csvFile;  // write the decoded list as CSV
    std::optional<std::string> logFile;  // logging on, into this file
    bool raw = false;                    // raw instead of formatted log
    std::optional<std::string> sendFile;
    bool sendFirst = false;
    std::optional<std::string> macroFile;  // parse, then run in macro mode
    std::optional<uint32_t> seconds;       // stop after this long
    std::optional<std::string> pcapFile;   // also write every frame to a pcapng file
    std::optional<int> timeColumn;         // TimeColumn; the profile's when absent
    std::optional<std::string> replayFile;  // --replay: this capture onto the port, no capture
    ReplayTiming timing = ReplayTiming::Original;
};

extern const char* const kHeadlessUsage;

// The options of `lombex32 --capture ...` (arguments after the program name), or the error.
std::variant<HeadlessOptions, std::string> ParseHeadlessArguments(
    const std::vector<std::string>& args);

struct HeadlessEnvironment {
    std::filesystem::path profile;   // the analyser's profile file
    const std::atomic<bool>* stop;   // set by SIGINT
    // Called after every poll step, with whether it found nothing to do (IdleRest).
    std::function<void(bool idle)> afterPoll;
    // The replay's steady clock in nanoseconds and a rest until a time of it (or until stop);
    // null: the steady clock, and no rest.
    std::function<uint64_t()> steadyNs = nullptr;
    std::function<void(uint64_t)> restUntilNs = nullptr;
};

// Runs the capture or the replay; 0 when it ran, non-zero when start-up, the port, a file,
// the macro or a write of the replay failed, kExitPortLost (portaccess/port_loss.h) when the
// port went away during the capture.
int RunHeadless(const HeadlessOptions& options, const HeadlessEnvironment& environment,
                std::ostream& out, std::ostream& err);

}  // namespace qorval::analyser
