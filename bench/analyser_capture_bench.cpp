// The analyser's capture with a formatted (hexadecimal) log, against a sender on the other end
// of a fake pair that puts 64-byte frames on the line at the rate a 20 Mbit/s line carries
// them (64 bytes, 16-bit CRC and one flag: 536 bits a frame, about 37300 frames/s). A frame
// that finds the receiver's 100 buffers full is lost; the counters report frames sent,
// received and lost, and the processor time per frame. Argument 0 shows the frames in
// hexadecimal, argument 1 decodes them as LAPB and filters them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <vector>

#include "analyser/analyser_app.h"
#include "analyser/pcapng_writer.h"
#include "portaccess/fake/fake_library.h"
#include "portaccess/tick_count.h"

namespace {

using namespace qorval::analyser;

class QuietUi final : public AnalyserUi {
  public:
    MessageAnswer ShowMessage(const Message&) override { return MessageAnswer::Ok; }
    void ShowStatus(std::string_view) override {}
    std::optional<std::string> ChooseFile(const qorval::ui::FileChoice&) override {
        return std::nullopt;
    }
    void RefreshMenu(const MenuState&) override {}
    CaptureView* OpenCaptureWindow() override { return &view_; }
    void CloseCaptureWindow() override {}
    std::optional<PortChoice> ChooseDriverPort(const SystemInfo&) override {
        return PortChoice{QORVAL_DRIVER_WYVEL32, 1};
    }

  private:
    class View final : public CaptureView {
      public:
        void SetText(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
    } view_;
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// How the analyser shows the frames: in hexadecimal, or decoded as LAPB with a filter that
// lets every other frame through (the statistics count them all).
enum class Display : int64_t { Hex = 0, DecodedLapbFiltered = 1 };

// An analyser with its settings and a formatted log in a folder of its own (removed at the
// end): port 1 selected and the display chosen once Open succeeded.
class LoggingAnalyser {
  public:
    explicit LoggingAnalyser(const char* folder, Display display = Display::Hex)
        : dir_(std::filesystem::temp_directory_path() / folder), display_(display) {
        std::filesystem::create_directories(dir_);
    }
    ~LoggingAnalyser() {
        app_.Shutdown(false);
        std::filesystem::remove_all(dir_);
    }
    LoggingAnalyser(const LoggingAnalyser&) = delete;
    LoggingAnalyser& operator=(const LoggingAnalyser&) = delete;

    bool Open() {
        if (!app_.Startup() || !app_.SelectDriverPort()) {
            return false;
        }
        app_.MutableParms().display = 1;
        if (display_ == Display::DecodedLapbFiltered) {
            app_.SetLinkProtocol(qorval::analyser::decode::LinkProtocol::Lapb);
            app_.SetDecodedView();
            if (app_.SetFilter("ns == 1 || ns == 3 || ns == 5 || ns == 7 || error")) {
                return false;
            }
        }
        app_.MutableParms().logFile = (dir_ / "capture.log").string();
        app_.ToggleLogging();
        return app_.LoggingEnabled();
    }
    CAnalyserApp& App() { return app_; }
    const std::filesystem::path& Dir() const { return dir_; }

  private:
    const std::filesystem::path dir_;
    const Display display_;
    QuietUi ui_;
    CAnalyserApp app_{ui_, dir_ / "lombex32.ini"};
};

// The 64-byte frame both benchmarks send; its counter byte is set to a count before each send.
// Decoded, it is a LAPB I-frame with an X.25 data packet, and the count is its N(S) and N(R).
std::vector<uint8_t> PatternFrame() {
    std::vector<uint8_t> frame(64);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7);
    }
    const uint8_t lapbHeader[] = {0x01, 0x00, 0x10, 0x01, 0x00};
    std::copy(std::begin(lapbHeader), std::end(lapbHeader), frame.begin());
    return frame;
}
constexpr size_t kCounterAt = 1;

// The control field of an I-frame with N(S) and N(R) both the count (modulo 8).
uint8_t Counter(uint32_t count) {
    return static_cast<uint8_t>(((count & 7) << 5) | ((count & 7) << 1));
}

constexpr double kLineBitsPerSecond = 20e6;
constexpr double kBitsPerFrame = (64 + 2 + 1) * 8.0;
constexpr uint32_t kFramesPerBurst = 50000;

void BM_CaptureAtFullLineRate(benchmark::State& state) {
    auto& fake = qorval::fake::FakeLibrary::Instance();
    fake.Reset();
    for (uint16_t port : {1, 2}) {
        qorval::fake::FakePortSpec port_spec;
        port_spec.port = port;
        fake.AddPort(port_spec);
    }
    fake.ConnectPair(QORVAL_DRIVER_WYVEL32, 1, 2);
    qorval::SetTickSource(nullptr);  // real time for the poll loop

    LoggingAnalyser analyser("lombex32-bench", static_cast<Display>(state.range(0)));
    if (!analyser.Open()) {
        state.SkipWithError("no port");
        return;
    }
    CAnalyserApp& app = analyser.App();
    app.ToggleCapture();
    QORVAL_HANDLE sender = 0;
    (void)QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &sender);
    std::vector<uint8_t> frame = PatternFrame();

    const double framesPerSecond = kLineBitsPerSecond / kBitsPerFrame;
    uint64_t sent = 0, received = 0;
    double cpuSeconds = 0, wallSeconds = 0, frameCpuSeconds = 0;
    for (auto _ : state) {
        const uint32_t before = app.FrameCount();
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        uint32_t burst = 0;
        for (;;) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto due = std::min<uint64_t>(kFramesPerBurst,
                                                static_cast<uint64_t>(elapsed * framesPerSecond));
            for (; burst < due; ++burst) {
                frame[kCounterAt] = Counter(burst);
                (void)QORVAL_PutData(sender, frame.data(), static_cast<uint32_t>(frame.size()));
            }
            const double pollStart = ThreadCpuSeconds();
            app.PollStep();
            if (!app.LastPollIdle()) {
                frameCpuSeconds += ThreadCpuSeconds() - pollStart;
            }
            if (burst == kFramesPerBurst && app.LastPollIdle()) {
                break;
            }
        }
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        sent += burst;
        received += app.FrameCount() - before;
    }
    const uint64_t lost =
        fake.DroppedFrames(QORVAL_DRIVER_WYVEL32, 1) + fake.DroppedFrames(QORVAL_DRIVER_WYVEL32, 2);
    state.counters["frames_sent"] = static_cast<double>(sent);
    state.counters["frames_received"] = static_cast<double>(received);
    state.counters["frames_lost"] = static_cast<double>(lost);
    state.counters["line_frames_per_s"] = framesPerSecond;
    // Processor time of the poll steps that took a frame, per frame, and the share of the
    // processor that work needs at the line rate; cpu_share_spinning includes the idle polls.
    state.counters["cpu_us_per_frame"] = received ? frameCpuSeconds * 1e6 / received : 0;
    state.counters["cpu_share_busy"] = wallSeconds > 0 ? frameCpuSeconds / wallSeconds : 0;
    state.counters["cpu_share_spinning"] = wallSeconds > 0 ? cpuSeconds / wallSeconds : 0;
    (void)QORVAL_PortClose(sender);
}
BENCHMARK(BM_CaptureAtFullLineRate)
    ->Arg(static_cast<int64_t>(Display::Hex))
    ->Arg(static_cast<int64_t>(Display::DecodedLapbFiltered))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The tool's own cost: how many frames a second the poll step takes from the fake library when
// frames are always waiting (1000 queued at a time), each formatted in hexadecimal (argument 0)
// or decoded and filtered (argument 1), logged and written to a capture file, as
// `lombex32 --capture --log --pcap` does. The fake's own work
// (its lock and call log) is included, so the engine alone is faster still.
void BM_PollStepFromFakeLibrary(benchmark::State& state) {
    auto& fake = qorval::fake::FakeLibrary::Instance();
    fake.Reset();
    qorval::fake::FakePortSpec port_spec;
    port_spec.port = 1;
    port_spec.rx_buffers = 1000;
    fake.AddPort(port_spec);
    qorval::SetTickSource(nullptr);
    LoggingAnalyser analyser("lombex32-bench-poll", static_cast<Display>(state.range(0)));
    if (!analyser.Open()) {
        state.SkipWithError("no port");
        return;
    }
    CAnalyserApp& app = analyser.App();
    PcapngWriter pcap;
    if (!pcap.Open(analyser.Dir() / "capture.pcapng")) {
        state.SkipWithError("no capture file");
        return;
    }
    PcapngCapture capture(pcap, pcap.AddInterface("Wyvel32 port 1"));
    app.SetFrameObserver(&capture);
    app.ToggleCapture();
    std::vector<uint8_t> frame = PatternFrame();
    constexpr int kQueued = 1000;
    uint64_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fake.ClearCallLog();
        for (int i = 0; i < kQueued; ++i) {
            frame[kCounterAt] = Counter(static_cast<uint32_t>(i));
            fake.QueueFrame(QORVAL_DRIVER_WYVEL32, 1, frame);
        }
        state.ResumeTiming();
        const uint32_t before = app.FrameCount();
        while (app.FrameCount() - before < kQueued) {
            app.PollStep();
        }
        frames += kQueued;
    }
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames),
                                                        benchmark::Counter::kIsRate);
    app.ToggleCapture();
    app.SetFrameObserver(nullptr);
}
BENCHMARK(BM_PollStepFromFakeLibrary)
    ->Arg(static_cast<int64_t>(Display::Hex))
    ->Arg(static_cast<int64_t>(Display::DecodedLapbFiltered))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
