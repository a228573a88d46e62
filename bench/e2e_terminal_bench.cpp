// File transfers between the two ports of a driver host in this process, through the real port
// access library, on the ports' default settings (1024-byte frames, CRC-32) and the pair paced
// at the clock programme's rate: our sender on port 1 and our receiver on port 2, each on its
// own thread as two programs would be, next to lrzsz doing the same transfer over the same line
// (sx/rx or sb/rb, each joined to its port by a pump thread that cuts its output into frames a
// port on these settings receives).
//
// Counters:
//   share  - file bytes per second over the line's capacity (bit rate / 8 bytes per second),
//            over the data phase as the receiving side sees it: from the first 1K data block
//            to the last (ours: the receiver's "Block #" status texts; lrzsz: the first frame
//            of each block the receiving pump takes from port 2), so the start handshake, the
//            receiver's purge and the end of the batch are left out for both alike;
//   Bps    - file bytes per second over the same span;
//   ok     - 1 when the whole file arrived intact.
// Arguments: the ports' Divisor: 126 (157480 bit/s, the default programme) and 0 (20 Mbit/s).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/lrzsz_commands.h"
#include "host/testing/in_process_host.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/locked_file.h"
#include "terminal/tests/support/piped_child.h"
#include "terminal/transfer_line.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace {

using namespace qorval;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;
constexpr uint32_t kPortFrame = 1024;       // the default largest transmit and receive frame
constexpr uint32_t kPumpPiece = 1024 - 4;   // what fits the far port with its CRC-32
constexpr uint32_t kBlockFrameBytes = 512;  // a frame this long starts a 1K data block

double LineRate(uint32_t divisor) {
    return 20e6 / (divisor + 1);
}

size_t FileSizeFor(double rate) {
    // About two seconds of line time, 32 KB to 2 MB, in whole 1K blocks.
    const size_t bytes = std::clamp<size_t>(static_cast<size_t>(rate / 8 * 2), 32 * 1024, 2 << 20);
    return bytes / 1024 * 1024;
}

std::vector<char> FileBytes(size_t size) {
    std::vector<char> data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 + (i >> 10));
    }
    return data;
}

bool SameFile(const std::filesystem::path& path, const std::vector<char>& data) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> got((std::istreambuf_iterator<char>(in)), {});
    return got.size() >= data.size() && std::equal(data.begin(), data.end(), got.begin());
}

// Times of the data blocks the receiving side took, first and last, and how many.
class BlockTimes {
  public:
    explicit BlockTimes(double blockBytes = 1024) : blockBytes_(blockBytes) {}
    void Mark() {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        if (count_ == 0) {
            first_ = now;
        }
        last_ = now;
        ++count_;
    }
    // File bytes a second from the first block to the last.
    double BytesPerSecond() const {
        std::lock_guard lock(mutex_);
        const double seconds = std::chrono::duration<double>(last_ - first_).count();
        return count_ > 1 && seconds > 0 ? (count_ - 1) * blockBytes_ / seconds : 0;
    }

  private:
    const double blockBytes_;
    mutable std::mutex mutex_;
    Clock::time_point first_{}, last_{};
    uint64_t count_ = 0;
};

struct Quiet : ui::UserMessages, ui::ProgressWindow {
    explicit Quiet(BlockTimes* blocks = nullptr) : blocks(blocks) {}
    ui::MessageAnswer ShowMessage(const ui::Message&) override { return ui::MessageAnswer::Ok; }
    void ShowStatus(std::string_view text) override {
        if (blocks != nullptr && text.starts_with("Block #")) {
            blocks->Mark();
        }
    }
    std::optional<std::string> ChooseFile(const ui::FileChoice&) override { return std::nullopt; }
    void Open(std::string_view, std::string_view) override {}
    void SetPercent(int) override {}
    void SetText(std::string_view) override {}
    void Close() override {}
    BlockTimes* blocks;
};

// The two ports, paced at the given divisor, fresh for each transfer.
struct Line {
    explicit Line(uint32_t divisor) : host(host::BusOptions{}) {
        ok = host.Error().empty() && host.SetPortValue(1, "Divisor", divisor) &&
             host.SetPortValue(2, "Divisor", divisor);
    }
    host::testing::InProcessHost host;
    bool ok = false;
};

// A fresh line for one transfer; null (with the benchmark skipped) when the host did not start.
std::unique_ptr<Line> StartLine(benchmark::State& state, uint32_t divisor) {
    auto line = std::make_unique<Line>(divisor);
    if (!line->ok) {
        state.SkipWithError("the host did not start");
        return nullptr;
    }
    return line;
}

void Report(benchmark::State& state, double bytesPerSecond, double rate, bool ok) {
    const double bps = ok ? bytesPerSecond : 0;
    state.SetIterationTime(bps > 0 ? 1.0 / bps : 1);
    state.counters["share"] = bps / (rate / 8);
    state.counters["Bps"] = bps;
    state.counters["ok"] = ok ? 1 : 0;
}

using terminal::Protocol;

void BM_Ours(benchmark::State& state, Protocol protocol) {
    SetTickSource(nullptr);
    const auto divisor = static_cast<uint32_t>(state.range(0));
    const double rate = LineRate(divisor);
    const auto data = FileBytes(FileSizeFor(rate));
    for (auto _ : state) {
        const auto line = StartLine(state, divisor);
        if (!line) {
            return;
        }
        const auto dir = line->host.Prefix();
        std::ofstream(dir / "send.bin", std::ios::binary).write(data.data(), data.size());
        std::filesystem::create_directory(dir / "in");
        Qorval_Port sending(kDriver, 1), receiving(kDriver, 2);
        if (sending.Open() != QORVAL_OK || receiving.Open() != QORVAL_OK) {
            state.SkipWithError("the ports did not open");
            return;
        }
        BlockTimes blocks(protocol == Protocol::Xmodem ? 128 : 1024);
        terminal::TransferOutcome received = terminal::TransferOutcome::Failed;
        std::thread receiver([&] {
            Quiet quiet(&blocks);
            terminal::CancelFlag cancel{false};
            const terminal::TransferUi ui{quiet, quiet, cancel, {}};
            terminal::XmodemReceiver r(receiving, ui, protocol);
            received = r.Run(terminal::IsYmodem(protocol) ? (dir / "in").string()
                                                          : (dir / "in/send.bin").string());
        });
        Quiet quiet;
        terminal::CancelFlag cancel{false};
        const terminal::TransferUi ui{quiet, quiet, cancel, {}};
        auto file = terminal::LockedFile::OpenForReading((dir / "send.bin").string());
        terminal::XmodemSender s(sending, ui, protocol);
        const bool sent = file && s.Run(*file, (dir / "send.bin").string()) ==
                                      terminal::TransferOutcome::Succeeded;
        receiver.join();
        const bool ok = sent && received == terminal::TransferOutcome::Succeeded &&
                        SameFile(dir / "in/send.bin", data);
        Report(state, blocks.BytesPerSecond(), rate, ok);
        // Frames that found port 2's receive ring full: why a streaming transfer fails.
        state.counters["rx_lost"] = static_cast<double>(
            line->host.Host().bus().CardOfPort(2)->Statistics().frames_lost_no_dma);
    }
}

// A child process joined to a port: frames from the port to its standard input, its standard
// output to the port in frames of at most kPumpPiece bytes. On the receiving port the first
// frame of every 1K block is timed.
class PumpedChild {
  public:
    PumpedChild(uint16_t port, std::vector<std::string> argv, const std::string& cwd,
                BlockTimes* blocks)
        : blocks_(blocks) {
        if (QORVAL_PortOpen(kDriver, port, &handle_) != QORVAL_OK) {
            return;
        }
        const auto child =
            terminal::testing::StartPipedChild(std::move(argv), cwd, cwd + "/stderr.txt");
        pid_ = child.pid;
        toChild_ = child.toChild;
        fromChild_ = child.fromChild;
        ::fcntl(fromChild_, F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { Pump(); });
    }
    ~PumpedChild() {
        if (thread_.joinable()) {
            thread_.join();
        }
        if (toChild_ >= 0) {
            ::close(toChild_);
        }
        if (fromChild_ >= 0) {
            ::close(fromChild_);
        }
        (void)QORVAL_PortClose(handle_);
    }
    // The child's exit status once the pump has seen it end (-1: it was stopped after the
    // bound).
    int Wait() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return status_;
    }

  private:
    void Pump() {
        std::vector<uint8_t> frame(kPortFrame);
        std::vector<uint8_t> bytes(16384);
        // A bound, not a measurement: a child that stalls is stopped and the row shows ok=0.
        const auto giveUp = Clock::now() + std::chrono::seconds(120);
        terminal::IdleWait idle;
        while (pid_ > 0) {
            bool busy = false;
            uint32_t length = 0;
            while (QORVAL_GetData(handle_, frame.data(), kPortFrame, &length) == QORVAL_OK &&
                   length > 0) {
                if (blocks_ != nullptr && length >= kBlockFrameBytes) {
                    blocks_->Mark();
                }
                (void)!::write(toChild_, frame.data(), length);
                busy = true;
            }
            const ssize_t n = ::read(fromChild_, bytes.data(), bytes.size());
            for (ssize_t at = 0; n > 0 && at < n;) {
                const auto piece = static_cast<uint32_t>(std::min<ssize_t>(kPumpPiece, n - at));
                if (QORVAL_PutData(handle_, bytes.data() + at, piece) == QORVAL_OK) {
                    at += piece;
                } else {
                    std::this_thread::yield();  // no free transmit buffer yet
                }
                busy = true;
            }
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return;
            }
            if (Clock::now() > giveUp) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                return;
            }
            // The same way of waiting as the terminal's transfers: each quiet spell spins for
            // its first 2 ms, then naps between looks.
            if (busy) {
                idle = terminal::IdleWait{};
            } else {
                idle();
            }
        }
    }

    QORVAL_HANDLE handle_ = 0;
    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1;
    int status_ = -1;
    BlockTimes* blocks_;
    std::thread thread_;
};

void BM_Lrzsz(benchmark::State& state, std::vector<std::string> sendArgs,
              std::vector<std::string> receiveArgs) {
    const auto sender = terminal::testing::FindProgram(sendArgs[0]);
    const auto receiver = terminal::testing::FindProgram(receiveArgs[0]);
    if (!sender || !receiver) {
        state.SkipWithError("lrzsz is not installed");
        return;
    }
    sendArgs[0] = *sender;
    receiveArgs[0] = *receiver;
    sendArgs.push_back("send.bin");
    const auto divisor = static_cast<uint32_t>(state.range(0));
    const double rate = LineRate(divisor);
    const auto data = FileBytes(FileSizeFor(rate));
    for (auto _ : state) {
        const auto line = StartLine(state, divisor);
        if (!line) {
            return;
        }
        const auto a = line->host.Prefix() / "a";
        const auto b = line->host.Prefix() / "b";
        std::filesystem::create_directories(a);
        std::filesystem::create_directories(b);
        std::ofstream(a / "send.bin", std::ios::binary).write(data.data(), data.size());
        BlockTimes blocks;
        PumpedChild far(2, receiveArgs, b.string(), &blocks);
        PumpedChild near(1, sendArgs, a.string(), nullptr);
        const bool ok = near.Wait() == 0 && far.Wait() == 0 && SameFile(b / "send.bin", data);
        Report(state, blocks.BytesPerSecond(), rate, ok);
    }
}

void Rates(benchmark::internal::Benchmark* b) {
    b->Arg(126)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_Ours, ymodem_g, Protocol::YmodemG)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Ours, ymodem, Protocol::Ymodem)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Ours, xmodem_1k, Protocol::Xmodem1K)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Ours, xmodem, Protocol::Xmodem)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Lrzsz, sb_to_rb_ymodem, qorval::bench::kSbYmodem, qorval::bench::kRbYmodem)
    ->Apply(Rates);
BENCHMARK_CAPTURE(BM_Lrzsz, sx_to_rx_xmodem_1k, qorval::bench::kSxXmodem1K,
                  qorval::bench::kRxXmodem1K)
    ->Apply(Rates);

}  // namespace

BENCHMARK_MAIN();
