// The tester's window against `kessup --port` on one driver host run: frames per second of
// port 1 testing against port 2 repeating, on the paced line (the clock programme's rate) and
// on a line that takes no time (the workers, the library and the host set the pace).
//
//  BM_KessupCommandLine/<unlimited>  RunKessup, what `kessup --port 1` runs, with its 100 ms
//                                    timer in real time
//  BM_KessupWindow/<unlimited>       the window "Kessup" opened through its Open Port dialog and
//                                    started with its Start button, its timer in Qt's event loop
//
// Each measures, after 3 seconds of warm-up (the burst that fills the empty transmit ring),
// the frames the tester sent and got back over 6 seconds. The window's share of the command
// line's figure is printed at the end, per line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "bert/bert_session.h"
#include "bert/kessup_run.h"
#include "bert/window/kessup_window.h"
#include "bert/window/tests/kessup_window_driver.h"
#include "host/testing/in_process_host.h"

namespace {

using qorval::bert::BertSession;
using qorval::host::testing::InProcessHost;
using Clock = std::chrono::steady_clock;

constexpr auto kWarmUp = std::chrono::seconds(3);
constexpr auto kMeasure = std::chrono::seconds(6);

// One host per line kind, kept while both tools run on it (they are registered in that order);
// only one host runs at a time.
InProcessHost& Host(bool unlimited) {
    static std::unique_ptr<InProcessHost> host;
    static bool hostUnlimited = false;
    if (!host || hostUnlimited != unlimited) {
        host.reset();
        qorval::host::BusOptions options;
        options.unlimited_rate = unlimited;
        host = std::make_unique<InProcessHost>(options);
        hostUnlimited = unlimited;
    }
    return *host;
}

// The far end: a headless tester on port 2 in repeat mode.
struct Repeater {
    Repeater() {
        session.Port().SelectPort(QORVAL_DRIVER_WYVEL32, 2);
        opened = session.OpenPort() == QORVAL_OK;
        session.SetRepeatMode(true);
    }
    BertSession session;
    bool opened = false;
};

// The host for this benchmark's line kind (its argument); false, with the reason, when it does
// not run.
bool HostRuns(benchmark::State& state) {
    const InProcessHost& host = Host(state.range(0) != 0);
    if (!host.Error().empty()) {
        state.SkipWithError(host.Error().c_str());
        return false;
    }
    return true;
}

struct Frames {
    uint32_t tx = 0, rx = 0;
    Clock::time_point at;
};
Frames Read(const BertSession& s) {
    return {s.Counters().txFrames.load(), s.Counters().rxFrames.load(), Clock::now()};
}

std::map<bool, double> g_commandLineRx, g_windowRx;

void Report(benchmark::State& state, const Frames& from, const Frames& to,
            std::map<bool, double>& rxPerSecond) {
    const double seconds = std::chrono::duration<double>(to.at - from.at).count();
    const double rx = (to.rx - from.rx) / seconds;
    state.counters["tx_frames_per_s"] = (to.tx - from.tx) / seconds;
    state.counters["rx_frames_per_s"] = rx;
    rxPerSecond[state.range(0) != 0] = rx;
}

// kessup's timer: real 100 ms ticks, and the two readings of the counters.
class MeasuringTicker : public qorval::bert::KessupTicker {
  public:
    bool WaitTick(const BertSession& session) override {
        next_ += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next_);
        const auto now = Clock::now();
        if (!started_ && now - start_ >= kWarmUp) {
            from = Read(session);
            started_ = true;
        }
        if (started_ && now - from.at >= kMeasure) {
            to = Read(session);
            return false;
        }
        return true;
    }
    Frames from, to;

  private:
    Clock::time_point start_ = Clock::now(), next_ = start_;
    bool started_ = false;
};

void BM_KessupCommandLine(benchmark::State& state) {
    if (!HostRuns(state)) {
        return;
    }
    for (auto _ : state) {
        Repeater repeater;
        MeasuringTicker ticker;
        std::ostringstream out;
        if (!repeater.opened || qorval::bert::RunKessup({.port = 1}, out, ticker) != 0) {
            state.SkipWithError("the host's ports did not open");
            return;
        }
        Report(state, ticker.from, ticker.to, g_commandLineRx);
    }
}

void BM_KessupWindow(benchmark::State& state) {
    namespace w = qorval::bert::window;
    if (!HostRuns(state)) {
        return;
    }
    for (auto _ : state) {
        Repeater repeater;
        w::KessupWindow window;
        window.show();
        if (!repeater.opened || !window.Initialise() || !w::testing::OpenThroughDialog(window, 0)) {
            state.SkipWithError("the window did not open port 1");
            return;
        }
        w::testing::Click(window, "startButton");
        QTest::qWait(static_cast<int>(std::chrono::milliseconds(kWarmUp).count()));
        const Frames from = Read(window.Session());
        QTest::qWait(static_cast<int>(std::chrono::milliseconds(kMeasure).count()));
        Report(state, from, Read(window.Session()), g_windowRx);
        window.close();
    }
}

// Per line kind, the command line and then the window on the same host.
void RegisterInHostOrder() {
    for (const int unlimited : {0, 1}) {
        for (const auto& [name, function] :
             {std::pair{"BM_KessupCommandLine", &BM_KessupCommandLine},
              std::pair{"BM_KessupWindow", &BM_KessupWindow}}) {
            benchmark::RegisterBenchmark(name, function)
                ->Arg(unlimited)
                ->Iterations(1)
                ->UseRealTime()
                ->Unit(benchmark::kSecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RegisterInHostOrder();
    benchmark::RunSpecifiedBenchmarks();
    for (const bool unlimited : {false, true}) {
        if (g_commandLineRx.count(unlimited) && g_windowRx.count(unlimited)) {
            std::printf("%s line: window %.1f rx frames/s, kessup --port %.1f, window/kessup %.3f\n",
                        unlimited ? "unlimited" : "paced", g_windowRx[unlimited],
                        g_commandLineRx[unlimited],
                        g_windowRx[unlimited] / g_commandLineRx[unlimited]);
        }
    }
    benchmark::Shutdown();
    return 0;
}
