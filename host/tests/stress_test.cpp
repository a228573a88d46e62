// Everything at once against an in-process host: a numbered frame stream across one pair
// with control requests on the same handles, while on the other pair clients open, die
// mid-request (on the message path and on the request ring) and the device goes through
// stop, sleep and surprise removal. Asserts that no stream frame is lost, duplicated or
// reordered, that every control request on the stream ports succeeds, that the verifier saw
// every request completed exactly once, and that nothing deadlocks.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "host/tests/host_fixture.h"
#include "kernel/verifier.h"

namespace qorval::host::testing {
namespace {

constexpr uint32_t kStreamFrames = 600;
// Frames in flight on the stream: below the receive buffer count, so the receiver never has
// to drop frames because the reader is slow.
constexpr uint32_t kInFlight = 48;
constexpr int kMinPnpCycles = 3;
constexpr int kMinDeaths = 20;
// How long the run may take before it counts as a deadlock (ThreadSanitizer is slow).
constexpr auto kDeadlockBound = std::chrono::seconds(90);

std::vector<uint8_t> StreamFrame(uint32_t sequence) {
    auto frame = PatternFrame(8 + sequence % 300, sequence);
    std::memcpy(frame.data(), &sequence, sizeof(sequence));
    return frame;
}

void BackOff() {
    std::this_thread::sleep_for(std::chrono::microseconds(50));
}

class StressTest : public HostTest {
  protected:
    // `with_removal`: port 4 is also surprise-removed, removed, added again and rewired.
    void Run(bool with_removal);
};

TEST_F(StressTest, ConcurrentTrafficControlDeathsAndPlugAndPlay) {
    Run(false);
}

// Port 4 also leaves and arrives again, and is wired back to port 3: only the lines of ports 3
// and 4 change, so the stream on the other pair loses nothing.
TEST_F(StressTest, RemovalAndArrivalDuringTraffic) {
    Run(true);
}

void StressTest::Run(bool with_removal) {
    StartHost(PairAtUnlimitedRate(4));
    const uint64_t violations_before = kernel::Verifier::ViolationCount();
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    ASSERT_EQ(two.open_result(), 0u);

    std::atomic<uint32_t> sent{0};
    std::atomic<uint32_t> received{0};
    std::atomic<uint32_t> stream_faults{0};
    std::atomic<uint32_t> control_faults{0};
    std::atomic<uint32_t> pnp_faults{0};
    std::atomic<int> pnp_cycles{0};
    std::atomic<int> deaths{0};
    std::atomic<bool> stream_done{false};
    std::string first_pnp_fault;
    std::string first_stream_fault;
    std::mutex fault_lock;
    auto stream_fault = [&](const std::string& what) {
        stream_faults.fetch_add(1);
        std::lock_guard lock(fault_lock);
        if (first_stream_fault.empty()) {
            first_stream_fault = what;
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back([&] {  // numbered frames from port 1
        for (uint32_t sequence = 0; sequence < kStreamFrames;) {
            if (stream_faults.load() != 0) {
                return;
            }
            if (sequence - received.load() >= kInFlight) {
                BackOff();
                continue;
            }
            const auto frame = StreamFrame(sequence);
            const uint32_t result =
                QORVAL_PutData(one.handle(), frame.data(), static_cast<uint32_t>(frame.size()));
            if (result == QORVAL_NO_TX_BUFFER) {
                BackOff();
                continue;
            }
            if (result != 0) {
                stream_fault("put of frame " + std::to_string(sequence) + " gave " +
                             std::to_string(result));
                return;
            }
            sent.store(++sequence);
        }
    });
    threads.emplace_back([&] {  // and read in order on port 2
        std::vector<uint8_t> buffer(2048);
        // However the stream ends, the other threads stop with it.
        struct EndStream {
            std::atomic<bool>& done;
            ~EndStream() { done = true; }
        } end_stream{stream_done};
        while (received.load() < kStreamFrames && stream_faults.load() == 0) {
            uint32_t length = 0;
            const uint32_t result = QORVAL_GetData(two.handle(), buffer.data(),
                                                   static_cast<uint16_t>(buffer.size()), &length);
            if (result != 0) {
                stream_fault("get after frame " + std::to_string(received.load()) + " gave " +
                             std::to_string(result));
                return;
            }
            if (length == 0) {
                BackOff();
                continue;
            }
            const auto expected = StreamFrame(received.load());
            if (length != expected.size() ||
                std::memcmp(buffer.data(), expected.data(), length) != 0) {
                uint32_t got = 0;
                std::memcpy(&got, buffer.data(), std::min<size_t>(length, sizeof(got)));
                stream_fault("expected frame " + std::to_string(received.load()) + ", got " +
                             std::to_string(length) + " bytes numbered " + std::to_string(got));
                return;
            }
            received.fetch_add(1);
        }
    });
    threads.emplace_back([&] {  // control requests on the stream's own handles
        for (uint32_t i = 0; !stream_done.load() && stream_faults.load() == 0; ++i) {
            const QORVAL_HANDLE handle = i % 2 == 0 ? one.handle() : two.handle();
            PortState state{};
            PortInfo info{};
            uint16_t a = 0, b = 0;
            const uint32_t results[] = {
                QORVAL_GetPortState(handle, &state),
                QORVAL_GetPortInfo(handle, &info),
                QORVAL_GetBufferCount(handle, &a, &b),
                QORVAL_GetModemControl(handle, &a),
                QORVAL_SetModemControl(handle, static_cast<uint16_t>(i & 3)),
            };
            for (const uint32_t result : results) {
                control_faults.fetch_add(result != 0 ? 1 : 0);
            }
        }
    });
    threads.emplace_back([&] {  // clients of port 3 that die with requests outstanding
        while (!stream_done.load() || deaths.load() < kMinDeaths) {
            // Every other one carries its requests on a request ring.
            const bool on_ring = deaths.load() % 2 == 1;
            RawClient client;
            if (client.Open(3, /*synchronous=*/false, on_ring) == 0 && client.ring() != nullptr) {
                client.SubmitOnRing(0, protocol::Function::Read, 0, 1024);
                client.SubmitOnRing(1, protocol::Function::Write, 0, 0, PatternFrame(64, 3));
            } else if (!on_ring) {
                protocol::Request read;
                read.function = protocol::Function::Read;
                read.output_length = 1024;
                protocol::Request write;
                write.function = protocol::Function::Write;
                write.input = PatternFrame(64, 3);
                (void)client.Send(read);
                (void)client.Send(write);
            }
            client.Close();  // dies without waiting for answers
            deaths.fetch_add(1);
            LibraryPort library(3);
            if (library.open_result() == 0) {
                uint8_t byte = 0x7E;
                (void)QORVAL_PutData(library.handle(), &byte, 1);
            }
        }
    });
    threads.emplace_back([&] {  // a client of port 4 that carries on through its transitions
        std::vector<uint8_t> buffer(2048);
        while (!stream_done.load() || pnp_cycles.load() < kMinPnpCycles) {
            LibraryPort port(4);
            if (port.open_result() != 0) {
                BackOff();
                continue;
            }
            for (int i = 0; i < 20; ++i) {
                uint32_t length = 0;
                uint16_t a = 0, b = 0;
                const auto frame = PatternFrame(100, static_cast<uint32_t>(i));
                (void)QORVAL_PutData(port.handle(), frame.data(), 100);
                (void)QORVAL_GetData(port.handle(), buffer.data(), 2048, &length);
                (void)QORVAL_GetBufferCount(port.handle(), &a, &b);
            }
        }
    });
    threads.emplace_back([&] {  // Plug and Play and power transitions of port 4
        std::vector<std::string> cycle = {"stop 4", "start 4", "sleep 4", "wake 4"};
        if (with_removal) {
            cycle.insert(cycle.end(), {"surprise-remove 4", "remove 4", "add", "wire pair 3 4"});
        }
        while (!stream_done.load() || pnp_cycles.load() < kMinPnpCycles) {
            for (const std::string& command : cycle) {
                const std::string answer = ControlCommand(command);
                if (answer.rfind("ok", 0) != 0 || (command == "add" && answer != "ok\nport 4\n")) {
                    pnp_faults.fetch_add(1);
                    std::lock_guard lock(fault_lock);
                    if (first_pnp_fault.empty()) {
                        first_pnp_fault = command + " -> " + answer;
                    }
                }
            }
            pnp_cycles.fetch_add(1);
        }
    });

    // A deadlock shows as a run that never ends: fail with what was reached instead of hanging.
    std::mutex done_lock;
    std::condition_variable done_signal;
    bool joined = false;
    std::thread joiner([&] {
        for (auto& thread : threads) {
            thread.join();
        }
        std::lock_guard lock(done_lock);
        joined = true;
        done_signal.notify_one();
    });
    {
        std::unique_lock lock(done_lock);
        if (!done_signal.wait_for(lock, kDeadlockBound, [&] { return joined; })) {
            std::lock_guard faults(fault_lock);
            std::fprintf(stderr,
                         "stress run stuck: sent %u received %u pnp cycles %d deaths %d; "
                         "first stream fault: %s\n",
                         sent.load(), received.load(), pnp_cycles.load(), deaths.load(),
                         first_stream_fault.c_str());
            std::abort();
        }
    }
    joiner.join();

    EXPECT_EQ(stream_faults.load(), 0u) << first_stream_fault;
    EXPECT_EQ(sent.load(), kStreamFrames);
    EXPECT_EQ(received.load(), kStreamFrames) << "frames lost, duplicated or out of order";
    EXPECT_EQ(control_faults.load(), 0u);
    EXPECT_EQ(pnp_faults.load(), 0u) << first_pnp_fault;
    EXPECT_GE(pnp_cycles.load(), kMinPnpCycles);
    EXPECT_EQ(kernel::Verifier::ViolationCount(), violations_before);

    // The stream ports counted exactly the stream, and the churned ports are free again.
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(one.handle(), &state), 0u);
    EXPECT_EQ(state.txFrames, kStreamFrames);
    ASSERT_EQ(QORVAL_GetPortState(two.handle(), &state), 0u);
    EXPECT_EQ(state.rxFrames, kStreamFrames);
    EXPECT_EQ(state.crcErrors + state.overruns, 0u);
    for (const uint16_t port : {uint16_t{3}, uint16_t{4}}) {
        QORVAL_HANDLE handle = 0;
        EXPECT_TRUE(WaitFor([&] {
            return QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, port, &handle) == 0;
        })) << "port "
            << port;
        (void)QORVAL_PortClose(handle);
    }
}

}  // namespace
}  // namespace qorval::host::testing
