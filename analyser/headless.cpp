#include "analyser/headless.h"

#include <charconv>
#include <ostream>

#include "analyser/analyser_app.h"
#include "analyser/decoded_csv.h"
#include "analyser/pcapng_writer.h"
#include "analyser/statistics/statistics_text.h"
#include "analyser/string_printf.h"
#include "platform/console_user_messages.h"
#include "portaccess/driver_host_hint.h"
#include "portaccess/tick_count.h"

namespace qorval::analyser {

const char* const kHeadlessUsage =
    "usage: lombex32 --capture [--port N] [--format ascii|hex|mixed|decoded] [--log FILE] [--raw]\n"
    "                [--send FILE] [--send-first] [--macro FILE] [--seconds S] [--pcap FILE]\n"
    "                [--time off|start|previous] [--link lapb|lapb128|sdlc|sdlc128|fr|cisco|raw]\n"
    "                [--filter EXPRESSION] [--csv FILE] [--stats]\n"
    "       lombex32 --decode FILE [--link lapb|lapb128|sdlc|sdlc128|fr|cisco|raw]\n"
    "                [--filter EXPRESSION] [--csv FILE] [--stats]\n"
    "       lombex32 --replay FILE.pcapng [--port N] [--timing original|line]\n";

namespace {

constexpr const char* kLogNotOpened = "lombex32: could not open the log file %s\n";
constexpr const char* kPcapNotOpened = "lombex32: could not create the capture file %s\n";
constexpr const char* kPcapInterface = "Wyvel32 port %u";

// Prints the capture window's text: each frame's display lines, with plain line ends. The
// lines are gathered and written out when the engine flushes (every 100 ms while frames come,
// and when capture stops), or sooner when a large amount has gathered; a flush per frame would
// cost a system call for every frame of a busy line.
class StreamView final : public CaptureView {
  public:
    explicit StreamView(std::ostream& out) : out_(out) {}
    ~StreamView() override { Flush(); }
    void SetText(std::string_view text) override {
        for (char c : text) {
            if (c != '\r') {
                pending_ += c;
            }
        }
        if (pending_.size() >= kMaxPending) {
            WritePending();
        }
    }
    void Flush() override {
        WritePending();
        out_.flush();
    }

  private:
    static constexpr size_t kMaxPending = 1 << 16;

    void WritePending() {
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        pending_.clear();
    }

    std::ostream& out_;
    std::string pending_;
};

class HeadlessUi final : public AnalyserUi {
  public:
    HeadlessUi(std::ostream& out, std::ostream& err, uint16_t port)
        : view_(out), messages_(err), port_(port) {}
    MessageAnswer ShowMessage(const Message& message) override {
        return messages_.ShowMessage(message);
    }
    void ShowStatus(std::string_view text) override { messages_.ShowStatus(text); }
    const std::string& LastStatus() const { return messages_.LastStatus(); }
    std::optional<std::string> ChooseFile(const ui::FileChoice& choice) override {
        return messages_.ChooseFile(choice);
    }
    void RefreshMenu(const MenuState&) override {}
    CaptureView* OpenCaptureWindow() override { return &view_; }
    void CloseCaptureWindow() override {}
    std::optional<PortChoice> ChooseDriverPort(const SystemInfo&) override {
        return PortChoice{QORVAL_DRIVER_WYVEL32, port_};
    }

  private:
    StreamView view_;
    ui::ConsoleUserMessages messages_;
    uint16_t port_;
};

template <typename T>
bool ParseUnsigned(const std::string& text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

std::optional<int> ParseFormat(const std::string& text) {
    if (text == "ascii") {
        return 0;
    }
    if (text == "hex") {
        return 1;
    }
    if (text == "mixed") {
        return 2;
    }
    return std::nullopt;
}

std::optional<int> ParseTimeColumn(const std::string& text) {
    if (text == "off") {
        return static_cast<int>(TimeColumn::Off);
    }
    if (text == "start") {
        return static_cast<int>(TimeColumn::SinceStart);
    }
    if (text == "previous") {
        return static_cast<int>(TimeColumn::SincePrevious);
    }
    return std::nullopt;
}

std::optional<ReplayTiming> ParseTiming(const std::string& text) {
    if (text == "original") {
        return ReplayTiming::Original;
    }
    if (text == "line") {
        return ReplayTiming::Line;
    }
    return std::nullopt;
}

bool TimeUp(const HeadlessOptions& options, uint32_t startMs) {
    return options.seconds &&
           (GetTickCount() - startMs) / 1000 >= *options.seconds;  // whole seconds
}

}  // namespace

std::variant<HeadlessOptions, std::string> ParseHeadlessArguments(
    const std::vector<std::string>& args) {
    auto bad = [](const std::string& what) {
        return std::variant<HeadlessOptions, std::string>(std::string("lombex32: ") + what +
                                                          "\n" + kHeadlessUsage);
    };
    HeadlessOptions options;
    bool capture = false;
    bool timing = false;
    bool captureOnly = false;  // an option of --capture was given
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        captureOnly = captureOnly || (arg != "--capture" && arg != "--port" &&
                                      arg != "--replay" && arg != "--timing");
        if (arg == "--capture") {
            capture = true;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--send-first") {
            options.sendFirst = true;
        } else if (arg == "--port" || arg == "--seconds" || arg == "--format" || arg == "--log" ||
                   arg == "--send" || arg == "--macro" || arg == "--pcap" || arg == "--time" ||
                   arg == "--link" || arg == "--filter" || arg == "--csv" ||
                   arg == "--replay" || arg == "--timing") {
            const std::string* text = value();
            if (text == nullptr) {
                return bad(arg + " needs a value");
            }
            if (arg == "--replay") {
                options.replayFile = *text;
            } else if (arg == "--timing") {
                const auto parsed = ParseTiming(*text);
                if (!parsed) {
                    return bad("invalid timing " + *text);
                }
                options.timing = *parsed;
                timing = true;
            } else if (arg == "--port") {
                if (!ParseUnsigned(*text, options.port) || options.port == 0) {
                    return bad("invalid port " + *text);
                }
            } else if (arg == "--seconds") {
                uint32_t seconds = 0;
                if (!ParseUnsigned(*text, seconds)) {
                    return bad("invalid seconds " + *text);
                }
                options.seconds = seconds;
            } else if (arg == "--format") {
                options.decoded = *text == "decoded";
                options.format = ParseFormat(*text);
                if (!options.format && !options.decoded) {
                    return bad("invalid format " + *text);
                }
            } else if (arg == "--link") {
                options.link = decode::ParseLinkProtocol(*text);
                if (!options.link) {
                    return bad("invalid link " + *text);
                }
            } else if (arg == "--filter") {
                auto filter = FrameFilter::Parse(*text);
                if (const auto* error = std::get_if<FilterError>(&filter)) {
                    return bad("invalid filter, " + error->Text());
                }
                options.filter = *text;
            } else if (arg == "--csv") {
                options.csvFile = *text;
            } else if (arg == "--time") {
                options.timeColumn = ParseTimeColumn(*text);
                if (!options.timeColumn) {
                    return bad("invalid time column " + *text);
                }
            } else if (arg == "--log") {
                options.logFile = *text;
            } else if (arg == "--send") {
                options.sendFile = *text;
            } else if (arg == "--macro") {
                options.macroFile = *text;
            } else {
                options.pcapFile = *text;
            }
        } else {
            return bad("unknown argument " + arg);
        }
    }
    if (options.replayFile && capture) {
        return bad("--capture and --replay do not go together");
    }
    if (options.replayFile && captureOnly) {
        return bad("--replay takes only --port and --timing");
    }
    if (timing && !options.replayFile) {
        return bad("--timing goes with --replay");
    }
    if (!capture && !options.replayFile) {
        return std::string(kHeadlessUsage);
    }
    return options;
}

namespace {

// Puts the capture file onto the port, resting between the steps, until every frame went out,
// a write failed or SIGINT; the replay's last status text goes to `out`.
int RunReplay(CAnalyserApp& app, HeadlessUi& ui, const HeadlessOptions& options,
              const HeadlessEnvironment& environment, std::ostream& out) {
    if (environment.steadyNs) {
        app.SetReplayClock(environment.steadyNs);
    }
    if (!app.StartReplay(*options.replayFile, options.timing)) {
        return 1;
    }
    bool failed = false;
    for (;;) {
        if (environment.stop->load(std::memory_order_relaxed)) {
            app.StopReplay();
            break;
        }
        const auto next = app.ReplayStep();
        if (!next) {
            failed = app.ReplayFailed();
            break;
        }
        if (environment.restUntilNs) {
            environment.restUntilNs(*next);
        }
    }
    out << ui.LastStatus() << "\n";
    return failed ? 1 : 0;
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, const HeadlessEnvironment& environment,
                std::ostream& out, std::ostream& err) {
    HeadlessUi ui(out, err, options.port);
    CAnalyserApp app(ui, environment.profile);
    // The ports live in the driver host: when the library finds none, say how to start it,
    // as the window does.
    app.SetDriverInfoHint(DriverHostHint);
    if (!app.Startup()) {
        return 1;
    }
    // The settings given on the command line hold for this run only: the profile is not
    // written at the end, so a shell run does not change what the window remembers.
    auto finish = [&](int status) {
        app.Shutdown(false);
        return status;
    };
    if (options.format) {
        app.MutableParms().display = *options.format;
    }
    if (options.link) {
        app.SetLinkProtocol(*options.link);
    }
    if (options.decoded) {
        app.SetDecodedView();
    }
    if (options.filter) {
        (void)app.SetFilter(*options.filter);  // checked with the arguments
    }
    if (options.timeColumn) {
        app.View().timeColumn = *options.timeColumn;
    }
    if (!app.SelectDriverPort()) {
        return finish(1);
    }
    if (options.replayFile) {
        return finish(RunReplay(app, ui, options, environment, out));
    }
    PcapngWriter pcap;
    std::optional<PcapngCapture> pcapCapture;
    if (options.pcapFile) {
        std::string problem;
        if (!pcap.Open(*options.pcapFile, &problem)) {
            // The reason names the file; a failure after the open has none.
            err << StringPrintf(kPcapNotOpened,
                                (problem.empty() ? *options.pcapFile : problem).c_str());
            return finish(1);
        }
        pcapCapture.emplace(
            pcap, pcap.AddInterface(StringPrintf(kPcapInterface, unsigned{options.port})));
        app.SetFrameObserver(&*pcapCapture);
    }
    DecodedCsvFile csv;
    if (options.csvFile) {
        if (!csv.Open(*options.csvFile, app.LinkProtocolSetting())) {
            err << StringPrintf(kCsvNotOpened, options.csvFile->c_str());
            return finish(1);
        }
        app.SetDecodedFrameSink(&csv);
    }
    if (options.logFile) {
        app.MutableParms().logFile = *options.logFile;
        app.MutableParms().rawLogging = options.raw;
        app.ToggleLogging();
        if (!app.LoggingEnabled()) {
            err << StringPrintf(kLogNotOpened, options.logFile->c_str());
            return finish(1);
        }
    }
    if (options.sendFile || options.macroFile) {
        SendOptions send{options.macroFile.value_or(app.Parms().macroFile),
                         options.macroFile.has_value(),
                         options.sendFile.value_or(app.Parms().sendFile), options.sendFirst};
        app.SetSendOptions(send);
        if (options.macroFile && !app.MacroMode()) {
            return finish(1);
        }
        app.ToggleTransmit();
        if (!app.TransmitEnabled()) {
            return finish(1);
        }
    }
    app.ToggleCapture();
    const uint32_t startMs = GetTickCount();
    while (!environment.stop->load(std::memory_order_relaxed) && !TimeUp(options, startMs) &&
           app.Capturing()) {
        app.PollStep();
        if (environment.afterPoll) {
            environment.afterPoll(app.LastPollIdle());
        }
    }
    if (app.LostPort() != PortLoss::kNone) {
        // The poll step that found the port gone stopped capture and printed why.
        app.SetFrameObserver(nullptr);
        return finish(kExitPortLost);
    }
    app.ToggleCapture();
    app.SetFrameObserver(nullptr);
    app.SetDecodedFrameSink(nullptr);
    if (options.stats) {
        out << FormatStatistics(app.Statistics());
        out.flush();
    }
    if (options.csvFile && !csv.Close()) {
        err << StringPrintf(kCsvNotWritten, options.csvFile->c_str());
        return finish(1);
    }
    return finish(0);
}

}  // namespace qorval::analyser
