// The analyser's capture window at full IUSC speed: a driver host in this process with its pair
// paced at 20 Mbit/s, a sender on port 1 that keeps the line as full of 64-byte frames as it can
// (or sends at a given frame rate), and the main window (CMainFrame, offscreen) capturing port 2
// through the real library with a hexadecimal formatted log on, its poll timer and display tick
// in Qt's event loop. Counters, per second of the run: frames the sender put on the line, frames
// the capture window showed (lines appended to its view, four to a frame) and frames the log got
// (its lines, four to a frame); the frames the window lost after the analyser took them from
// the port, and those the card had no buffer for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "analyser/window/document/capture_feed.h"
#include "analyser/window/shell/main_frame.h"
#include "bench/window/capture_line.h"
#include "host/testing/in_process_host.h"
#include "platform/testing/recording_user_messages.h"
#include "platform/window/testing/modal_driver.h"

namespace {

using namespace qorval::analyser;
using qorval::host::testing::InProcessHost;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFramesPerIteration = 100'000;
constexpr uint64_t kLinesPerFrame = 4;  // 64 bytes in hexadecimal, 16 to a line

// Select Driver/Port from the menu, as a user would, choosing port 2 in the dialog.
bool SelectPort2(CMainFrame& frame) {
    qorval::ui::testing::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        auto* ports = dialog != nullptr ? dialog->findChild<QComboBox*>("portList") : nullptr;
        if (ports != nullptr && ports->count() >= 2) {
            ports->setCurrentIndex(1);  // "2 - Port002"
            dialog->accept();
        } else if (dialog != nullptr) {
            dialog->reject();
        }
    });
    frame.Actions().selectDriverPort->trigger();
    return frame.App().PortSelected() && frame.App().SelectedPort().portNumber == 2;
}

uint64_t LinesIn(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return static_cast<uint64_t>(std::count(std::istreambuf_iterator<char>(file),
                                            std::istreambuf_iterator<char>(), '\n'));
}

// Runs the window's event loop until `done` is set and the window has shown nothing new for
// 200 ms (the line is quiet and what waited has been appended).
void RunUntilQuiet(CMainFrame& frame, const std::atomic<bool>& done) {
    QEventLoop loop;
    QTimer check;
    uint64_t seen = 0;
    auto quietSince = Clock::now();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        const uint64_t shown = frame.App().FramesShown();
        if (shown != seen || (frame.Feed() && frame.Feed()->Waiting() != 0)) {
            seen = shown;
            quietSince = Clock::now();
        } else if (done.load() && Clock::now() - quietSince > std::chrono::milliseconds(200)) {
            loop.quit();
        }
    });
    check.start(10);
    loop.exec();
}

void BM_CaptureWindowAt20Mbps(benchmark::State& state) {
    InProcessHost host{qorval::host::BusOptions{}};
    if (const char* error =
            qorval::bench::PaceLineAt20Mbps(host, static_cast<uint32_t>(state.range(0)))) {
        state.SkipWithError(error);
        return;
    }
    const auto perSecond = static_cast<uint32_t>(state.range(1));
    qorval::ui::testing::RecordingUserMessages messages;
    CMainFrame frame(host.Prefix() / "lombex32.ini", &messages);
    QORVAL_HANDLE sender = 0;
    if (!frame.StartEngine() || !SelectPort2(frame) ||
        QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &sender) != QORVAL_OK) {
        state.SkipWithError("the host's ports did not open");
        return;
    }
    frame.resize(900, 560);
    frame.show();
    const std::filesystem::path log = host.Prefix() / "capture.log";
    frame.App().MutableParms().logFile = log.string();
    frame.Actions().hex->trigger();
    frame.Actions().enableLogging->trigger();
    frame.Actions().capture->trigger();
    if (!frame.App().LoggingEnabled() || frame.Feed() == nullptr) {
        state.SkipWithError("the capture window or the log did not open");
        return;
    }

    if (state.range(2) == 0) {
        // As a user who closes the capture window: capture goes on into the log only.
        frame.CaptureChild()->close();
        if (!QTest::qWaitFor([&] { return frame.Feed() == nullptr; })) {
            state.SkipWithError("the capture window did not close");
            return;
        }
    }
    std::atomic<uint32_t> accepted{0};
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            qorval::bench::SendFrames(sender, kFramesPerIteration, perSecond, accepted);
            done = true;
        });
        RunUntilQuiet(frame, done);
        worker.join();
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    const uint64_t received = frame.App().FrameCount();
    const uint64_t shown = frame.Feed() ? frame.Feed()->LinesShown() / kLinesPerFrame : 0;
    frame.Actions().enableLogging->trigger();  // closes the log
    const uint64_t logged = LinesIn(log) / kLinesPerFrame;
    frame.Actions().capture->trigger();
    const double sent = accepted.load();
    auto perSecondOfRun = [wall](double count) { return wall > 0 ? count / wall : 0; };
    state.counters["frames_sent"] = sent;
    state.counters["frames_received"] = static_cast<double>(received);
    state.counters["frames_shown"] = static_cast<double>(shown);
    state.counters["frames_logged"] = static_cast<double>(logged);
    state.counters["sent_per_s"] = perSecondOfRun(sent);
    state.counters["shown_per_s"] = perSecondOfRun(static_cast<double>(shown));
    state.counters["logged_per_s"] = perSecondOfRun(static_cast<double>(logged));
    // Frames the analyser took from the port but the window never showed.
    state.counters["window_lost"] = static_cast<double>(received - shown);
    // Frames the card had no buffer for: the poll did not come round in time.
    state.counters["card2_lost_no_dma"] =
        static_cast<double>(host.Host().bus().CardOfPort(2)->Statistics().frames_lost_no_dma);
    (void)QORVAL_PortClose(sender);
}
// Arguments: receive buffers (the port's default 100, and ten times as many), the sender's
// frames a second (0: as fast as the line takes them), and whether the capture window stays
// open (0: closed once capture started, for the figure without display).
BENCHMARK(BM_CaptureWindowAt20Mbps)
    ->Args({100, 0, 1})
    ->Args({1000, 0, 1})
    ->Args({1000, 0, 0})
    ->Args({1000, 3000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
