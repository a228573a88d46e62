#include "terminal/vintor_cli.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <ostream>

#include "platform/console_user_messages.h"
#include "terminal/received_text.h"
#include "terminal/terminal_session.h"

namespace qorval::terminal {

const char* const kVintorUsage =
    "usage: vintor --port N [--echo]\n"
    "       vintor --port N --send FILE --protocol xmodem|xmodem-1k|ymodem|ymodem-g\n"
    "       vintor --port N --receive [--protocol P] [--dir DIR | FILE]\n"
    "In terminal mode Ctrl-] quits.\n";

namespace {

constexpr const char* kDefaultReceiveName = "temp.dat";
constexpr int kPollIntervalMs = 100;

// Received text as a terminal shows it: erased characters are rubbed out with backspaces.
class StreamTextArea : public TextArea {
  public:
    explicit StreamTextArea(std::ostream& out) : out_(out) {}
    size_t Length() const override { return length_; }
    void DropFront(size_t count) override { length_ -= std::min(count, length_); }
    void ReplaceEnd(size_t count, std::string_view piece) override {
        count = std::min(count, length_);
        for (size_t i = 0; i < count; ++i) {
            out_ << "\b \b";
        }
        out_ << piece;
        out_.flush();
        length_ = length_ - count + piece.size();
    }
    void Type(char c) override {
        out_ << (c == '\r' ? std::string_view("\r\n") : std::string_view(&c, 1));
        out_.flush();
        length_ += c == '\r' ? 2 : 1;
    }

  private:
    std::ostream& out_;
    size_t length_ = 0;
};

// One progress line, rewritten in place.
class StreamProgress : public ProgressWindow {
  public:
    explicit StreamProgress(std::ostream& err) : err_(err) {}
    void Open(std::string_view, std::string_view text) override {
        text_ = text;
        percent_ = 0;
        open_ = true;
        Draw();
    }
    void SetPercent(int percent) override {
        percent_ = percent;
        Draw();
    }
    void SetText(std::string_view text) override {
        text_ = text;
        Draw();
    }
    void Close() override {
        if (open_) {
            err_ << '\n';
            err_.flush();
        }
        open_ = false;
    }

  private:
    void Draw() {
        if (open_) {
            err_ << '\r' << text_ << " [" << percent_ << "%]\x1b[K";
            err_.flush();
        }
    }
    std::ostream& err_;
    std::string text_;
    int percent_ = 0;
    bool open_ = false;
};

class HeadlessWindow : public WindowHooks {
  public:
    explicit HeadlessWindow(uint16_t port) : port_(port) {}
    bool ShowOpenPortDialog(Qorval_Port& port) override {
        port.SelectPort(QORVAL_DRIVER_WYVEL32, port_);
        return true;
    }
    void EnableMainWindow(bool) override {}
    void FocusTextArea() override {}
    bool StartPollTimer() override { return true; }
    void StopPollTimer() override {}
    void SetTitle(std::string_view) override {}
    void ShowModemLines(uint16_t) override {}

  private:
    uint16_t port_;
};

// Raw keys from a terminal for as long as the object lives.
class RawMode {
  public:
    explicit RawMode(int fd) : fd_(fd) {
        if (::isatty(fd) && ::tcgetattr(fd, &saved_) == 0) {
            termios raw = saved_;
            ::cfmakeraw(&raw);
            raw.c_oflag |= OPOST;  // keep "\n" as a new line on the screen
            active_ = ::tcsetattr(fd, TCSANOW, &raw) == 0;
        }
    }
    ~RawMode() {
        if (active_) {
            ::tcsetattr(fd_, TCSANOW, &saved_);
        }
    }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

  private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

int RunTerminal(TerminalSession& session, int input_fd, CancelFlag& cancel) {
    RawMode raw(input_fd);
    bool input_open = true;
    while (!cancel.load(std::memory_order_relaxed)) {
        if (input_open) {
            pollfd p{input_fd, POLLIN, 0};
            if (::poll(&p, 1, kPollIntervalMs) > 0) {
                char keys[256];
                const ssize_t n = ::read(input_fd, keys, sizeof keys);
                if (n <= 0) {
                    input_open = false;
                }
                for (ssize_t i = 0; i < n && !session.PortLost(); ++i) {
                    if (keys[i] == kQuitKey) {
                        session.PollTick();
                        return session.PortLost() ? kExitPortLost : kExitOk;
                    }
                    session.TypeChar(keys[i]);
                }
            }
        } else {
            // Input ended: show what is still arriving, then leave.
            session.PollTick();
            return session.PortLost() ? kExitPortLost : kExitOk;
        }
        session.PollTick();
        if (session.PortLost()) {
            return kExitPortLost;  // the session has said why
        }
    }
    return kExitOk;
}

std::optional<uint16_t> ParsePort(const std::string& text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<VintorOptions> ParseVintorArgs(const std::vector<std::string>& args,
                                             std::string& error) {
    VintorOptions o;
    bool send = false;
    bool receive = false;
    bool have_protocol = false;
    bool have_dir = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = std::string(a) + " needs " + what;
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--port") {
            const auto v = value("a port number");
            if (!v) {
                return std::nullopt;
            }
            const auto port = ParsePort(*v);
            if (!port) {
                error = "not a port number: " + *v;
                return std::nullopt;
            }
            o.port = *port;
        } else if (a == "--send") {
            const auto v = value("a file");
            if (!v) {
                return std::nullopt;
            }
            send = true;
            o.file = *v;
        } else if (a == "--receive") {
            receive = true;
        } else if (a == "--protocol") {
            const auto v = value("a protocol");
            if (!v) {
                return std::nullopt;
            }
            const auto p = ProtocolFromName(*v);
            if (!p) {
                error = "unknown protocol: " + *v;
                return std::nullopt;
            }
            o.protocol = *p;
            have_protocol = true;
        } else if (a == "--dir") {
            const auto v = value("a directory");
            if (!v) {
                return std::nullopt;
            }
            o.dir = *v;
            have_dir = true;
        } else if (a == "--echo") {
            o.echo = true;
        } else if (receive && !a.empty() && a[0] != '-' && o.file.empty()) {
            o.file = a;
        } else {
            error = "unexpected argument: " + a;
            return std::nullopt;
        }
    }
    if (o.port == 0) {
        error = "--port is required";
        return std::nullopt;
    }
    if (send && receive) {
        error = "--send and --receive exclude each other";
        return std::nullopt;
    }
    if (send && !have_protocol) {
        error = "--send needs --protocol";
        return std::nullopt;
    }
    if (!send && !receive && (have_protocol || have_dir)) {
        error = "--protocol and --dir belong to a transfer";
        return std::nullopt;
    }
    if (receive && have_dir && !o.file.empty()) {
        error = "give either --dir or a FILE";
        return std::nullopt;
    }
    if (receive && IsYmodem(o.protocol) && !o.file.empty()) {
        error = "YMODEM takes the names from the sender: use --dir";
        return std::nullopt;
    }
    if (receive && o.file.empty() && !IsYmodem(o.protocol)) {
        o.file = o.dir + "/" + kDefaultReceiveName;
    }
    o.mode = send ? VintorOptions::Mode::Send
                  : (receive ? VintorOptions::Mode::Receive : VintorOptions::Mode::Terminal);
    return o;
}

int RunVintor(const VintorOptions& options, int input_fd, std::ostream& out, std::ostream& err,
              std::atomic<CancelFlag*>& interrupt_target) {
    StreamTextArea text(out);
    ui::ConsoleUserMessages messages(err);
    StreamProgress progress(err);
    HeadlessWindow window(options.port);
    TerminalSession session(messages, progress, window, text, {});
    session.SetEcho(options.echo);
    session.SetDownloadDirectory(options.dir);
    session.PortOpenCommand();
    if (!session.Port().IsOpen()) {
        return kExitFailed;
    }
    // An interrupt sets the session's cancel flag, which transfers and the terminal loop read.
    interrupt_target.store(&session.Cancel());
    int status = kExitOk;
    switch (options.mode) {
        case VintorOptions::Mode::Terminal:
            status = RunTerminal(session, input_fd, session.Cancel());
            break;
        case VintorOptions::Mode::Send:
        case VintorOptions::Mode::Receive: {
            TransferOutcome outcome;
            if (options.mode == VintorOptions::Mode::Send) {
                outcome = session.SendBinFile(options.protocol, options.file);
            } else {
                outcome = session.ReceiveBinFile(options.protocol, options.file);
            }
            status = outcome == TransferOutcome::Succeeded ? kExitOk
                     : session.PortLost()                  ? kExitPortLost
                                                           : kExitFailed;
            break;
        }
    }
    interrupt_target.store(nullptr);
    session.Shutdown();
    return status;
}

}  // namespace qorval::terminal
