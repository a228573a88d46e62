#pragma once
// kessup on the command line: opens a Wyvel32 port, runs the tester's workers as the window
// does, prints the window's fields once a second and a summary line at the end.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qorval::bert {

class BertSession;

struct KessupOptions {
    uint16_t port = 1;
    uint32_t seconds = 0;  // 0: until interrupted
    bool repeat = false;
    bool disk = false;
    std::filesystem::path diskDirectory = ".";
};

inline constexpr char kKessupUsage[] = "usage: kessup --port N [--seconds S] [--repeat] [--disk]";

// Parses the arguments after the program name; nullopt with `error` set on bad input.
std::optional<KessupOptions> ParseKessupArgs(const std::vector<std::string>& args,
                                             std::string& error);

// The 100 ms timer of the run: waits for the next tick and says whether to go on.
class KessupTicker {
  public:
    virtual ~KessupTicker() = default;
    virtual bool WaitTick(const BertSession& session) = 0;
};

// Runs the test; returns the process exit code: 0, 1 when the port cannot be opened, or
// kExitPortLost (portaccess/port_loss.h) when the port went away during the run, after the
// message saying why.
int RunKessup(const KessupOptions& options, std::ostream& out, KessupTicker& ticker);

// The fields of one display line and the summary line.
std::string KessupStatusLine(const BertSession& session);
std::string KessupSummary(const BertSession& session);

}  // namespace qorval::bert
