// File transfer throughput through the driver host's byte-stream wiring, on a line paced at its
// clock rate: the far end is sb or sx of lrzsz (through socat), the port side is our receiver,
// or lrzsz's own receiver (rb, rx) joined to the port by a small pump, so both run the same
// transfer over the same line. Counters:
//   share - file bytes per second over the line's capacity (rate / 8 bytes per second),
//           measured from the first frame the far end put on the line to the last;
//   Bps   - file bytes per second.
// Rates: the default programme (20 MHz / 127 = 157480 bit/s) and Divisor 0 (20 Mbit/s, the
// fastest the card drives). lrzsz's receivers ask with "C", so its YMODEM-G row is plain
// YMODEM: lrzsz has no streaming receive to compare with.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "driver/driver_context.h"
#include "driver/registry_values.h"
#include "host/bus/tests/stream_child.h"
#include "host/bus/tests/stream_host.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/xmodem_receiver.h"

extern char** environ;

namespace {

using namespace qorval;
using namespace qorval::host::testing;
using Clock = std::chrono::steady_clock;

struct Quiet : ui::UserMessages, ui::ProgressWindow {
    ui::MessageAnswer ShowMessage(const ui::Message&) override { return ui::MessageAnswer::Ok; }
    void ShowStatus(std::string_view) override {}
    std::optional<std::string> ChooseFile(const ui::FileChoice&) override { return std::nullopt; }
    void Open(std::string_view, std::string_view) override {}
    void SetPercent(int) override {}
    void SetText(std::string_view) override {}
    void Close() override {}
};

// Times the frames the far end puts on the line: first and last, seen by polling the wiring's
// count on a thread of its own.
class LineWatch {
  public:
    explicit LineWatch(host::SimulatedBus& bus) : bus_(bus) {
        thread_ = std::thread([this] {
            uint64_t seen = bus_.StreamStatsOfPort(1)->frames_from_peer;
            while (!stop_) {
                const uint64_t now = bus_.StreamStatsOfPort(1)->frames_from_peer;
                if (now != seen) {
                    if (first_ == Clock::time_point{}) {
                        first_ = Clock::now();
                    }
                    last_ = Clock::now();
                    seen = now;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    ~LineWatch() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    double Seconds() const { return std::chrono::duration<double>(last_ - first_).count(); }

  private:
    host::SimulatedBus& bus_;
    std::atomic<bool> stop_{false};
    Clock::time_point first_{}, last_{};
    std::thread thread_;
};

// lrzsz's receiver on the port: frames from the port to its input, its output to the port in
// frames no longer than the port sends, waiting for a free transmit buffer.
int PumpToChild(std::vector<std::string> argv, const std::string& cwd) {
    QORVAL_HANDLE handle = 0;
    if (QORVAL_PortOpen(kAdapterDriver, 1, &handle) != 0) {
        return -1;
    }
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    std::vector<uint8_t> frame(65535);
    int status = -1;
    // A bound, not a measurement: a receiver that stalls is stopped and the row reports ok=0.
    const auto give_up = Clock::now() + std::chrono::seconds(120);
    while (pid > 0) {
        if (Clock::now() > give_up) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        uint32_t length = 0;
        while (QORVAL_GetData(handle, frame.data(), static_cast<uint16_t>(frame.size()), &length) ==
                   0 &&
               length > 0) {
            (void)!::write(in[1], frame.data(), length);
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 0) > 0) {
            uint8_t bytes[1024];
            const ssize_t n = ::read(out[0], bytes, sizeof bytes);
            for (ssize_t sent = 0; n > 0 && sent < n;) {
                if (QORVAL_PutData(handle, bytes + sent, static_cast<uint32_t>(n - sent)) == 0) {
                    sent = n;
                } else {
                    std::this_thread::yield();
                }
            }
        }
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            break;
        }
        std::this_thread::yield();
    }
    ::close(in[1]);
    ::close(out[0]);
    QORVAL_PortClose(handle);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

enum class Receiver { OursYmodemG, OursXmodem1K, LrzszYmodem, LrzszXmodem1K };

void BM_Transfer(benchmark::State& state, Receiver receiver) {
    for (const char* program : {"socat", "sb", "sx", "rb", "rx"}) {
        if (!FindProgram(program)) {
            state.SkipWithError("socat or lrzsz is not installed");
            return;
        }
    }
    const uint32_t divisor = static_cast<uint32_t>(state.range(0));
    const double rate = 20e6 / (divisor + 1);
    const size_t size = std::min<size_t>(1 << 20, std::max<size_t>(32 * 1024, rate / 8 * 2));
    SetTickSource(nullptr);
    for (auto _ : state) {
        StreamHost host(1, /*unlimited_rate=*/false);
        {
            platform::Registry registry(platform::RegistryFile());
            (void)registry.SetDword(wyvel32::PortKeyPath(wyvel32::kServiceKeyPath, 1), "Divisor",
                                    divisor);
            (void)registry.Flush();
        }
        const std::string path = host.WireUnix(1);
        const std::string far = (host.prefix() / "far").string();
        const std::string ours = (host.prefix() / "ours").string();
        std::filesystem::create_directories(far);
        std::filesystem::create_directories(ours);
        std::vector<char> data(size);
        for (size_t i = 0; i < size; ++i) {
            data[i] = static_cast<char>(i * 31 + (i >> 10));
        }
        std::ofstream(far + "/f.bin", std::ios::binary).write(data.data(), data.size());
        const bool ymodem = receiver == Receiver::OursYmodemG || receiver == Receiver::LrzszYmodem;
        Child sender({*FindProgram("socat"), "UNIX-CONNECT:" + path,
                      std::string("EXEC:") + (ymodem ? "sb -q -b -k f.bin" : "sx -q -b -k f.bin")},
                     far);
        Eventually([&] { return host.bus().StreamStatsOfPort(1)->peer_connected; });
        if (!ymodem) {
            sender.WaitForErrorText("receive command now", 30);
        }
        LineWatch watch(host.bus());
        bool ok = false;
        if (receiver == Receiver::OursYmodemG || receiver == Receiver::OursXmodem1K) {
            Qorval_Port port(kAdapterDriver, 1);
            ok = port.Open() == 0;
            Quiet quiet;
            terminal::CancelFlag cancel{false};
            const terminal::TransferUi ui{quiet, quiet, cancel, {}};
            terminal::XmodemReceiver ours_receiver(
                port, ui, ymodem ? terminal::Protocol::YmodemG : terminal::Protocol::Xmodem1K);
            ok = ok && ours_receiver.Run(ymodem ? ours : ours + "/f.bin") ==
                           terminal::TransferOutcome::Succeeded;
        } else {
            ok = PumpToChild(ymodem ? std::vector<std::string>{*FindProgram("rb"), "-q", "-b"}
                                    : std::vector<std::string>{*FindProgram("rx"), "-q", "-b", "-c",
                                                               "f.bin"},
                             ours) == 0;
        }
        watch.Stop();
        sender.Wait(30);
        const double seconds = watch.Seconds();
        state.SetIterationTime(seconds > 0 ? seconds : 1);
        state.counters["share"] = ok && seconds > 0 ? size / seconds / (rate / 8) : 0;
        state.counters["Bps"] = ok && seconds > 0 ? size / seconds : 0;
        state.counters["ok"] = ok;
    }
}

void Rates(benchmark::internal::Benchmark* b) {
    b->Arg(126)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_Transfer, ours_ymodem_g, Receiver::OursYmodemG)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Transfer, lrzsz_ymodem, Receiver::LrzszYmodem)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Transfer, ours_xmodem_1k, Receiver::OursXmodem1K)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Transfer, lrzsz_xmodem_1k, Receiver::LrzszXmodem1K)->Apply(Rates);

}  // namespace

BENCHMARK_MAIN();
