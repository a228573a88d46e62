// File transfer throughput on a line paced at its bit rate: our YMODEM-G and XMODEM-1K
// (sender and receiver on their own threads, as two programs) next to lrzsz doing the same
// transfer over the same line. Figures are reported as counters:
//   share  - file bytes per second over the line's capacity (rate / 8 bytes per second),
//            measured over the data phase: from the start of the first frame of a 1K data
//            block to the end of the last (files are whole 1K blocks; the start handshake,
//            headers and the end of the batch are left out);
//   Bps    - file bytes per second.
// Rates: 157480 bit/s (the default programme: 20 MHz oscillator, divisor 126) and 20 Mbit/s
// (divisor 0, the fastest the card drives).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <thread>

#include "bench/lrzsz_commands.h"
#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/locked_file.h"
#include "terminal/tests/support/lrzsz_bridge.h"
#include "terminal/tests/support/paced_line.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace {

using namespace qorval::terminal;
using namespace qorval::terminal::testing;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;
constexpr uint32_t kDataFrameBytes = 512;  // frames this large carry 1K data blocks

size_t FileSizeFor(double rate) {
    // About two seconds of line time, at least 32 KB, in whole 1024-byte blocks.
    const size_t bytes = std::max<size_t>(32 * 1024, static_cast<size_t>(rate / 8 * 2));
    return (bytes + 1023) / 1024 * 1024;
}

void FreshPorts() {
    auto& fake = qorval::fake::FakeLibrary::Instance();
    fake.Reset();
    qorval::SetTickSource(nullptr);
    fake.AddPort({.driver_type = kDriver, .port = 1});
    fake.AddPort({.driver_type = kDriver, .port = 4});
}

void Report(benchmark::State& state, const PacedLine::Span& span, size_t file, double rate,
            bool ok) {
    state.SetIterationTime(span.seconds > 0 ? span.seconds : 1e-9);
    state.counters["share"] = ok && span.seconds > 0 ? file / span.seconds / (rate / 8) : 0;
    state.counters["Bps"] = ok && span.seconds > 0 ? file / span.seconds : 0;
    state.counters["ok"] = ok ? 1 : 0;
}

struct End {
    explicit End(uint16_t n) : port(kDriver, n) {}
    Qorval_Port port;
    RecordingMessages messages;
    RecordingProgress progress;
    CancelFlag cancel{false};
};

void BM_Ours(benchmark::State& state, Protocol protocol) {
    const double rate = static_cast<double>(state.range(0));
    const size_t size = FileSizeFor(rate);
    TempDir dir;
    WriteBytes(dir.File("send.bin"), Pattern(size));
    std::filesystem::create_directory(dir.File("in"));
    for (auto _ : state) {
        FreshPorts();
        PacedLine line(kDriver, 1, 2, 4, 3, rate);
        End sending(1);
        End receiving(4);
        (void)sending.port.Open();
        (void)receiving.port.Open();
        TransferOutcome received = TransferOutcome::Failed;
        std::thread receiver([&] {
            const TransferUi ui{receiving.messages, receiving.progress, receiving.cancel, {}};
            XmodemReceiver r(receiving.port, ui, protocol);
            received = r.Run(IsYmodem(protocol) ? dir.File("in") : dir.File("in/send.bin"));
        });
        auto file = LockedFile::OpenForReading(dir.File("send.bin"));
        const TransferUi ui{sending.messages, sending.progress, sending.cancel, {}};
        XmodemSender s(sending.port, ui, protocol);
        const bool sent = s.Run(*file, dir.File("send.bin")) == TransferOutcome::Succeeded;
        receiver.join();
        Report(state, line.DataSpanAtoB(kDataFrameBytes), size, rate,
               sent && received == TransferOutcome::Succeeded);
    }
}

void BM_Lrzsz(benchmark::State& state, std::vector<std::string> send_args,
              std::vector<std::string> receive_args) {
    const auto sender = FindProgram(send_args[0]);
    const auto receiver = FindProgram(receive_args[0]);
    if (!sender || !receiver) {
        state.SkipWithError("lrzsz is not installed");
        return;
    }
    send_args[0] = *sender;
    receive_args[0] = *receiver;
    const double rate = static_cast<double>(state.range(0));
    const size_t size = FileSizeFor(rate);
    TempDir dir;
    std::filesystem::create_directory(dir.File("a"));
    std::filesystem::create_directory(dir.File("b"));
    WriteBytes(dir.File("a/send.bin"), Pattern(size));
    send_args.push_back("send.bin");
    for (auto _ : state) {
        std::filesystem::remove(dir.File("b/send.bin"));
        FreshPorts();
        PacedLine line(kDriver, 1, 2, 4, 3, rate);
        ChildBridge far_receiver(kDriver, 4, 1024, receive_args, dir.File("b"));
        ChildBridge far_sender(kDriver, 1, 1024, send_args, dir.File("a"));
        const bool ok = far_sender.Wait(600) == 0 && far_receiver.Wait(60) == 0;

        Report(state, line.DataSpanAtoB(kDataFrameBytes), size, rate, ok);
    }
}

void Rates(benchmark::internal::Benchmark* b) {
    b->Arg(157480)->Arg(20000000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_Ours, ymodem_g, Protocol::YmodemG)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Ours, xmodem_1k, Protocol::Xmodem1K)->Apply(Rates);
BENCHMARK_CAPTURE(BM_Lrzsz, sb_to_rb_ymodem, qorval::bench::kSbYmodem, qorval::bench::kRbYmodem)
    ->Apply(Rates);
BENCHMARK_CAPTURE(BM_Lrzsz, sx_to_rx_xmodem_1k, qorval::bench::kSxXmodem1K,
                  qorval::bench::kRxXmodem1K)
    ->Apply(Rates);

}  // namespace

BENCHMARK_MAIN();
