// Ports arriving and leaving again and again while long frames stream across another pair:
// the stream loses nothing. Long frames make the driver's copy stall, and a stall lets the
// sending card finish its frame in the middle of whatever the bus is doing to the lines at
// that moment, so a card left without a line for an instant shows as a lost frame.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "host/tests/host_fixture.h"

namespace qorval::host::testing {
namespace {

constexpr uint32_t kMinFrames = 1500;
constexpr int kMinCycles = 15;
constexpr size_t kFrameSize = 1000;  // room for its CRC-32 in a 1024-byte receive buffer
constexpr uint32_t kInFlight = 48;   // below the receive buffer count

class ArrivalTrafficTest : public HostTest {};

TEST_F(ArrivalTrafficTest, ArrivalsAndRemovalsNeverTouchTheFramesOfAnotherPair) {
    StartHost(PairAtUnlimitedRate(2));
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    ASSERT_EQ(two.open_result(), 0u);

    std::atomic<uint32_t> received{0};
    std::atomic<uint32_t> total{UINT32_MAX};  // known once the writer has stopped
    std::atomic<int> cycles{0};
    std::atomic<bool> failed{false};
    std::string first_fault;

    std::thread writer([&] {
        uint32_t sent = 0;
        while (!failed.load() && (sent < kMinFrames || cycles.load() < kMinCycles)) {
            if (sent - received.load() >= kInFlight) {
                std::this_thread::yield();
                continue;
            }
            auto frame = PatternFrame(kFrameSize, sent);
            std::memcpy(frame.data(), &sent, sizeof(sent));
            const uint32_t result = QORVAL_PutData(one.handle(), frame.data(), kFrameSize);
            if (result == QORVAL_NO_TX_BUFFER) {
                continue;
            }
            if (result != 0) {
                failed = true;
                break;
            }
            ++sent;
        }
        total = sent;
    });
    std::thread changes([&] {
        while (total.load() == UINT32_MAX && !failed.load()) {
            const std::string added = ControlCommand("add");
            const std::string removed = ControlCommand("remove 3");
            if (added != "ok\nport 3\n" || removed.rfind("ok", 0) != 0) {
                failed = true;
                break;
            }
            cycles.fetch_add(1);
        }
    });
    std::vector<uint8_t> buffer(2048);
    while (!failed.load() && received.load() != total.load()) {
        uint32_t length = 0;
        if (QORVAL_GetData(two.handle(), buffer.data(), static_cast<uint16_t>(buffer.size()),
                           &length) != 0) {
            first_fault = "get failed after frame " + std::to_string(received.load());
            failed = true;
            break;
        }
        if (length == 0) {
            std::this_thread::yield();
            continue;
        }
        uint32_t number = 0;
        std::memcpy(&number, buffer.data(), sizeof(number));
        if (length != kFrameSize || number != received.load()) {
            first_fault = "expected frame " + std::to_string(received.load()) + ", got " +
                          std::to_string(length) + " bytes numbered " + std::to_string(number);
            failed = true;
            break;
        }
        received.fetch_add(1);
    }
    writer.join();
    changes.join();

    EXPECT_FALSE(failed.load()) << first_fault;
    EXPECT_GE(cycles.load(), kMinCycles);
    EXPECT_EQ(received.load(), total.load());
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(two.handle(), &state), 0u);
    EXPECT_EQ(state.rxFrames, total.load());
}

}  // namespace
}  // namespace qorval::host::testing
