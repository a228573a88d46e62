#include "bert/kessup_run.h"

#include <charconv>
#include <ostream>

#include "bert/bert_session.h"
#include "bert/bert_texts.h"
#include "portaccess/port_loss.h"

namespace qorval::bert {
namespace {

constexpr uint32_t kTicksPerSecond = 10;
// The window says nothing when the disk load ends on its own; a shell run says why.
constexpr char kDiskLoadStopped[] = "kessup: no disk load: ";

template <typename T>
bool ParseNumber(const std::string& s, T& out, T min, T max) {
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < min || value > max) {
        return false;
    }
    out = static_cast<T>(value);
    return true;
}

void ReportDiskProblem(BertSession& session, std::ostream& out) {
    if (const std::string problem = session.TakeDiskProblem(); !problem.empty()) {
        out << kDiskLoadStopped << problem << '\n' << std::flush;
    }
}

}  // namespace

std::optional<KessupOptions> ParseKessupArgs(const std::vector<std::string>& args,
                                             std::string& error) {
    KessupOptions options;
    bool havePort = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--repeat") {
            options.repeat = true;
        } else if (a == "--disk") {
            options.disk = true;
        } else if (a == "--port" && hasValue) {
            if (!ParseNumber<uint16_t>(args[++i], options.port, 1, 0xFFFF)) {
                error = "invalid port number: " + args[i];
                return std::nullopt;
            }
            havePort = true;
        } else if (a == "--seconds" && hasValue) {
            if (!ParseNumber<uint32_t>(args[++i], options.seconds, 0, 0xFFFFFFFF / 1000)) {
                error = "invalid number of seconds: " + args[i];
                return std::nullopt;
            }
        } else {
            error = "unknown or incomplete argument: " + a;
            return std::nullopt;
        }
    }
    if (!havePort) {
        error = "--port is required";
        return std::nullopt;
    }
    return options;
}

std::string KessupStatusLine(const BertSession& session) {
    const BertDisplay& d = session.Display();
    std::string line = d.testTime;
    auto field = [&line](const char* label, const std::string& value, const char* unit = "") {
        line += "  ";
        line += label;
        line += ' ';
        line += value;
        if (*unit != '\0') {
            line += ' ';
            line += unit;
        }
    };
    field(text::kTxFrames, d.txFrames);
    field(text::kRxFrames, d.rxFrames);
    field(text::kBytesChecked, d.bytesChecked);
    field(text::kBitErrors, d.bitErrors);
    field(text::kSyncLosses, d.syncLosses);
    field(text::kCrcErrors, d.crcErrors);
    field(text::kOverrunErrors, d.overrunErrors);
    field(text::kLineErrors, d.lineErrors);
    field(text::kOtherErrors, d.otherErrors);
    field(text::kTxDataRate, d.txRate, text::kRateUnit);
    field(text::kRxDataRate, d.rxRate, text::kRateUnit);
    field(text::kStatus, d.status);
    field(text::kTxBuffersAvailable, d.txBuffers);
    field(text::kRxBuffersAvailable, d.rxBuffers);
    return line;
}

std::string KessupSummary(const BertSession& session) {
    // The counters as the workers left them; the status as the window last showed it.
    const BertCounters& c = session.Counters();
    auto v = [](const std::atomic<uint32_t>& a) {
        return std::to_string(a.load(std::memory_order_relaxed));
    };
    return "tx_frames=" + v(c.txFrames) + " rx_frames=" + v(c.rxFrames) +
           " bytes_checked=" + v(c.bytesChecked) + " bit_errors=" + v(c.bitErrors) +
           " sync_losses=" + v(c.syncLosses) + " crc_errors=" + v(c.crcErrors) +
           " overrun_errors=" + v(c.overrunErrors) + " line_errors=" + v(c.lineErrors) +
           " other_errors=" + v(c.otherErrors) + " status=" + session.Display().status;
}

int RunKessup(const KessupOptions& options, std::ostream& out, KessupTicker& ticker) {
    BertSession session(options.diskDirectory);
    session.Port().SelectPort(QORVAL_DRIVER_WYVEL32, options.port);
    if (const uint32_t result = session.OpenPort(); result != QORVAL_OK) {
        out << text::kFailureOpeningPort << " (result " << result << ")\n";
        return 1;
    }
    if (options.repeat) {
        session.SetRepeatMode(true);
    } else {
        session.StartStop();
    }
    if (options.disk) {
        session.SetDiskThread(true);
    }
    const uint64_t lastTick = uint64_t{options.seconds} * kTicksPerSecond;
    for (uint64_t tick = 1; options.seconds == 0 || tick <= lastTick; ++tick) {
        if (!ticker.WaitTick(session)) {
            break;
        }
        session.Tick();
        ReportDiskProblem(session, out);
        if (const auto lost = session.TakePortLossMessage()) {
            // The port has gone: the tick stopped the workers and closed it; say so and end.
            out << *lost << '\n' << KessupSummary(session) << '\n';
            return kExitPortLost;
        }
        if (tick % kTicksPerSecond == 0) {
            out << KessupStatusLine(session) << '\n' << std::flush;
        }
    }
    // As the window closes: every worker stopped and awaited, then the final figures.
    session.Shutdown();
    ReportDiskProblem(session, out);
    out << KessupSummary(session) << '\n';
    return 0;
}

}  // namespace qorval::bert
