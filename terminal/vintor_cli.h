#pragma once
// The command-line terminal: a plain terminal in a shell, or one file transfer.
//
//   vintor --port N                          terminal; Ctrl-] quits
//   vintor --port N --send FILE --protocol xmodem|xmodem-1k|ymodem|ymodem-g
//   vintor --port N --receive [--protocol P] [--dir DIR | FILE]
//
// Messages, status texts and a progress line go to standard error; the exit status is 0 only
// when the transfer succeeded.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "portaccess/port_loss.h"
#include "terminal/protocol.h"
#include "terminal/user_interface.h"

namespace qorval::terminal {

struct VintorOptions {
    enum class Mode { Terminal, Send, Receive };
    Mode mode = Mode::Terminal;
    uint16_t port = 0;
    Protocol protocol = Protocol::Xmodem;
    std::string file;       // --send FILE, or the XMODEM receive target
    std::string dir = ".";  // the download directory
    bool echo = false;
};

// Parses the arguments after the program name; nullopt with `error` set when they are wrong.
std::optional<VintorOptions> ParseVintorArgs(const std::vector<std::string>& args,
                                             std::string& error);
extern const char* const kVintorUsage;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// The port went away under the run (the driver host died or the port was removed).
inline constexpr int kExitPortLost = qorval::kExitPortLost;

// Runs vintor with the port access library linked into the program. In terminal mode keys
// are read from `input_fd` (raw mode when it is a terminal) and received text is written to
// `out`. While it runs, `interrupt_target` points at the flag an interrupt sets to stop a
// transfer or leave the terminal.
int RunVintor(const VintorOptions& options, int input_fd, std::ostream& out, std::ostream& err,
              std::atomic<CancelFlag*>& interrupt_target);

// The key that leaves terminal mode: Ctrl-].
inline constexpr char kQuitKey = 0x1D;

}  // namespace qorval::terminal
