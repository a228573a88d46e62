#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "portaccess/library/drain_bound.h"
#include "portaccess/library/status_map.h"
#include "portaccess/library/tests/scripted_host.h"
#include "portaccess/library/transmit_drain.h"
#include "portaccess/qorval32.h"

namespace qorval::library {
namespace {

using testing::ScriptedHost;

protocol::Reply Answer(const protocol::Request& request, uint32_t status, uint32_t information = 0,
                       std::vector<uint8_t> output = {}) {
    return protocol::Reply{request.sequence, status, information, std::move(output)};
}

TEST(PortAccessLibrary, WithoutAHostEveryCallFailsAtOnce) {
    ScriptedHost host;  // a prefix with nothing listening
    SystemInfo info;
    EXPECT_EQ(QORVAL_GetSystemInfo(&info), uint32_t{QORVAL_GENERAL_ERROR});
    EXPECT_EQ(info.drivers[QORVAL_DRIVER_WYVEL32].present, 0u);
    QORVAL_HANDLE handle = 99;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(QORVAL_PortClose(0), uint32_t{QORVAL_INVALID_HANDLE});
    uint32_t length = 0;
    uint8_t buffer[4];
    EXPECT_EQ(QORVAL_GetData(12345, buffer, sizeof(buffer), &length),
              uint32_t{QORVAL_INVALID_HANDLE});
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_FENDAR5, 1, &handle),
              uint32_t{QORVAL_INVALID_DRIVER_TYPE});
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 0, &handle), uint32_t{QORVAL_PORT_NUMBER});
}

TEST(PortAccessLibrary, SystemInfoListsTheStartedPortsOfTheAdapterDriverOnly) {
    ScriptedHost host;
    host.ServeControl(
        "ok\nport 1 started Wyvel32_001\nport 2 stopped Wyvel32_002\n"
        "port 7 started Wyvel32_007\n");
    host.Start();
    SystemInfo info;
    ASSERT_EQ(QORVAL_GetSystemInfo(&info), uint32_t{QORVAL_OK});
    EXPECT_EQ(info.driverCount, 4u);
    for (int type = 0; type < 3; ++type) {
        EXPECT_EQ(info.drivers[type].present, 0u) << type;
    }
    const SystemInfoDriver& wyvel = info.drivers[QORVAL_DRIVER_WYVEL32];
    EXPECT_EQ(wyvel.driverType, 3u);
    EXPECT_STREQ(wyvel.name, "WYVEL32");
    EXPECT_EQ(wyvel.present, 1u);
    EXPECT_EQ(wyvel.ports[0].present, 1u);
    EXPECT_STREQ(wyvel.ports[0].name, "Port001");
    EXPECT_EQ(wyvel.ports[1].present, 0u);
    EXPECT_EQ(wyvel.portCount, 2u);  // port 7 has no entry in the record
}

// The tests that reach a device run once with requests as messages and once on a request
// ring: the library's behaviour must be the same on both.
class LibraryTransportTest : public ::testing::TestWithParam<bool> {
  protected:
    bool OnRing() const { return GetParam(); }
    // Every request after the create came the way the host offered.
    void ExpectTransport(ScriptedHost& host) {
        const size_t after_create = host.Requests().size() - 1;
        EXPECT_EQ(host.RingRequests(), OnRing() ? after_create : 0u);
    }
};

INSTANTIATE_TEST_SUITE_P(Transports, LibraryTransportTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Ring" : "Messages");
                         });

TEST_P(LibraryTransportTest, OpenSendsASynchronousCreateAndMapsItsStatus) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    host.ServeDevice(2);
    host.SetHandler([](unsigned port, const protocol::Request& request) {
        return Answer(request, port == 1 ? wyvel32::STATUS_SUCCESS : wyvel32::STATUS_UNSUCCESSFUL);
    });
    host.Start();
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_OK});
    EXPECT_NE(handle, 0u);
    const auto requests = host.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].function, protocol::Function::Create);
    EXPECT_EQ(requests[0].control_code, protocol::kCreateSynchronous | protocol::kCreateRing);

    QORVAL_HANDLE failed = 0;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &failed), uint32_t{QORVAL_GENERAL_ERROR});
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_OK});
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_INVALID_HANDLE});
}

TEST_P(LibraryTransportTest, ReadStatusesBecomeResultCodesAndKeepTheFrameBytes) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    std::atomic<uint32_t> next_status{wyvel32::STATUS_SUCCESS};
    host.SetHandler([&](unsigned, const protocol::Request& request) {
        if (request.function != protocol::Function::Read) {
            return Answer(request, wyvel32::STATUS_SUCCESS);
        }
        if (next_status == wyvel32::STATUS_INFO_LENGTH_MISMATCH) {
            return Answer(request, next_status);
        }
        return Answer(request, next_status, 3, {0xA, 0xB, 0xC});
    });
    host.Start();
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_OK});
    struct Case {
        uint32_t status;
        uint32_t result;
        uint32_t length;
    };
    for (const Case& c : {Case{wyvel32::STATUS_SUCCESS, QORVAL_OK, 3},
                          Case{wyvel32::STATUS_CRC_ERROR, QORVAL_CRC_ERROR, 3},
                          Case{wyvel32::STATUS_DATA_OVERRUN, QORVAL_OVERRUN, 3},
                          Case{wyvel32::STATUS_INFO_LENGTH_MISMATCH, QORVAL_BUFFER_ERROR, 0}}) {
        next_status = c.status;
        uint8_t buffer[16] = {};
        uint32_t length = 77;
        EXPECT_EQ(QORVAL_GetData(handle, buffer, sizeof(buffer), &length), c.result);
        EXPECT_EQ(length, c.length);
        if (c.length == 3) {
            EXPECT_EQ(buffer[2], 0xC);
        }
    }
    EXPECT_EQ(host.Requests().back().output_length, 16u);
    ExpectTransport(host);
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_OK});
}

TEST_P(LibraryTransportTest, RequestsCarryTheDriversCodesAndRecords) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    host.SetHandler([](unsigned, const protocol::Request& request) {
        switch (request.control_code) {
            case wyvel32::IOCTL_GET_BUFFER_COUNT:
                return Answer(request, 0, 4, {5, 0, 0x60, 0});
            case wyvel32::IOCTL_GET_MODEM_CONTROL:
                return Answer(request, 0, 2, {0x73, 0x01});
            case wyvel32::IOCTL_GET_PORT_INFO: {
                std::vector<uint8_t> info(68, 0);
                info[0x1E] = 0x00;
                info[0x1F] = 0x04;  // largest transmit frame 1024
                return Answer(request, 0, 68, info);
            }
            default:
                return Answer(request, request.function == protocol::Function::Write
                                           ? wyvel32::STATUS_DEVICE_BUSY
                                           : wyvel32::STATUS_SUCCESS);
        }
    });
    host.Start();
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_OK});

    uint16_t waiting = 0, free = 0;
    EXPECT_EQ(QORVAL_GetBufferCount(handle, &waiting, &free), uint32_t{QORVAL_OK});
    EXPECT_EQ(waiting, 5u);
    EXPECT_EQ(free, 0x60u);
    uint16_t modem = 0;
    EXPECT_EQ(QORVAL_GetModemControl(handle, &modem), uint32_t{QORVAL_OK});
    EXPECT_EQ(modem, 0x0173u);
    PortInfo info;
    EXPECT_EQ(QORVAL_GetPortInfo(handle, &info), uint32_t{QORVAL_OK});
    EXPECT_EQ(info.maxTxFrame, 1024u);

    EXPECT_EQ(QORVAL_ResetBuffers(handle, QORVAL_RESET_BOTH), uint32_t{QORVAL_OK});
    EXPECT_EQ(host.Requests().back().control_code, wyvel32::IOCTL_RESET_BUFFERS);
    EXPECT_EQ(host.Requests().back().input, std::vector<uint8_t>{4});
    EXPECT_EQ(QORVAL_ResetBuffers(handle, QORVAL_RESET_RECEIVE), uint32_t{QORVAL_OK});
    EXPECT_EQ(host.Requests().back().input, std::vector<uint8_t>{1});
    EXPECT_EQ(QORVAL_SetModemControl(handle, 0x0103), uint32_t{QORVAL_OK});
    EXPECT_EQ(host.Requests().back().input, (std::vector<uint8_t>{0x03, 0x01}));

    PortState state{};
    state.divisor = 0x1234;
    EXPECT_EQ(QORVAL_SetPortState(handle, &state), uint32_t{QORVAL_OK});
    ASSERT_EQ(host.Requests().back().input.size(), 84u);
    EXPECT_EQ(host.Requests().back().input[0x20], 0x34);

    EXPECT_EQ(QORVAL_TransmitCommChar(handle, 'Z'), uint32_t{QORVAL_NO_TX_BUFFER});
    EXPECT_EQ(host.Requests().back().function, protocol::Function::Write);
    EXPECT_EQ(host.Requests().back().input, std::vector<uint8_t>{'Z'});
    ExpectTransport(host);
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_OK});
}

TEST_P(LibraryTransportTest, AGarbledOrShortAnswerKillsTheHandleInsteadOfMisreadingIt) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    host.SetHandler([](unsigned, const protocol::Request& request) {
        if (request.control_code == wyvel32::IOCTL_GET_PORT_STATE) {
            return Answer(request, 0, 10, std::vector<uint8_t>(10));  // a short record
        }
        return Answer(request, 0);
    });
    host.Start();
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_OK});
    PortState state;
    EXPECT_EQ(QORVAL_GetPortState(handle, &state), uint32_t{QORVAL_GENERAL_ERROR});
    host.ReplyNextWithGarbage();
    uint16_t modem;
    EXPECT_EQ(QORVAL_GetModemControl(handle, &modem), uint32_t{QORVAL_GENERAL_ERROR});
    // The request/reply pairing is lost: later calls fail at once instead of reading
    // somebody else's answer, and never reach the host.
    const size_t seen = host.Requests().size();
    EXPECT_EQ(QORVAL_SetNodeAddress(handle, 5), uint32_t{QORVAL_GENERAL_ERROR});
    EXPECT_EQ(host.Requests().size(), seen);
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_OK});
}

TEST_P(LibraryTransportTest, AHostThatStopsAnsweringFailsTheCallAndKillsTheHandle) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    host.Start();
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_OK});
    host.StopAnswering();
    uint16_t waiting = 0, free = 0;
    // The call gives up after the library's reply timeout.
    EXPECT_EQ(QORVAL_GetBufferCount(handle, &waiting, &free), uint32_t{QORVAL_GENERAL_ERROR});
    const size_t seen = host.Requests().size();
    EXPECT_EQ(QORVAL_GetModemControl(handle, &waiting), uint32_t{QORVAL_GENERAL_ERROR});
    EXPECT_EQ(host.Requests().size(), seen) << "a dead handle sends nothing more";
    EXPECT_EQ(QORVAL_PortClose(handle), uint32_t{QORVAL_OK});
}

// A port with four transmit buffers whose count of free ones the test moves on, one buffer a
// look once the handle has queued frames.
std::vector<uint8_t> BufferCount(uint16_t free) {
    return {0, 0, static_cast<uint8_t>(free), static_cast<uint8_t>(free >> 8)};
}

TEST_P(LibraryTransportTest, CloseWaitsUntilTheQueuedFramesHaveLeftTheCard) {
    ScriptedHost host(OnRing());
    host.ServeDevice(1);
    std::atomic<uint16_t> free{4};
    host.SetHandler([&](unsigned, const protocol::Request& request) {
        if (request.function == protocol::Function::Write) {
            free = 1;  // three frames queued at once
            return Answer(request, 0, static_cast<uint32_t>(request.input.size()));
        }
        switch (request.control_code) {
            case wyvel32::IOCTL_GET_PORT_INFO: {
                std::vector<uint8_t> info(68, 0);
                info[0x22] = 4;  // transmit buffers
                return Answer(request, 0, 68, info);
            }
            case wyvel32::IOCTL_GET_BUFFER_COUNT: {
                const uint16_t now = free;
                if (free < 4) {
                    ++free;  // the card sends one frame between two looks
                }
                return Answer(request, 0, 4, BufferCount(now));
            }
            default:
                return Answer(request, 0);
        }
    });
    host.Start();
    QORVAL_HANDLE reader = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &reader), uint32_t{QORVAL_OK});
    // A handle that never wrote has nothing to wait for: its close asks nothing.
    EXPECT_EQ(QORVAL_PortClose(reader), uint32_t{QORVAL_OK});
    EXPECT_EQ(host.Requests().size(), 1u);

    QORVAL_HANDLE writer = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &writer), uint32_t{QORVAL_OK});
    const uint8_t frame[3] = {1, 2, 3};
    ASSERT_EQ(QORVAL_PutData(writer, frame, sizeof frame), uint32_t{QORVAL_OK});
    EXPECT_EQ(QORVAL_PortClose(writer), uint32_t{QORVAL_OK});
    EXPECT_EQ(free.load(), 4u) << "closed before the queued frames had left";
    EXPECT_EQ(host.Requests().back().control_code, wyvel32::IOCTL_GET_BUFFER_COUNT);
}

// The drain's wait in virtual time: each pause moves the clock by 10 ms.
class TransmitDrainTest : public ::testing::Test {
  protected:
    DrainTiming VirtualTiming() {
        DrainTiming timing;
        timing.now = [this] { return std::chrono::steady_clock::time_point(elapsed_); };
        timing.sleep = [this](std::chrono::microseconds) { elapsed_ += kStep; };
        return timing;
    }
    static constexpr std::chrono::milliseconds kStep{10};
    std::chrono::milliseconds elapsed_{0};
};

TEST_F(TransmitDrainTest, FollowsProgressGivesUpWithoutItAndStopsWhenThePortIsGone) {
    // A slow line: one buffer frees every 900 ms, the ten of them in 9 s, and the wait lasts.
    auto slow = [this]() -> std::optional<uint16_t> {
        return static_cast<uint16_t>(std::min<int64_t>(elapsed_.count() / 900, 10));
    };
    EXPECT_EQ(AwaitTransmitDrain(10, slow, VirtualTiming()), DrainOutcome::Drained);
    EXPECT_EQ(elapsed_, std::chrono::milliseconds(9000));

    // A line that never sends: given up once nothing has moved for the limit.
    elapsed_ = {};
    EXPECT_EQ(AwaitTransmitDrain(
                  10, [] { return std::optional<uint16_t>(3); }, VirtualTiming()),
              DrainOutcome::NoProgress);
    EXPECT_EQ(elapsed_, DrainTiming{}.no_progress_limit);

    // A writer that refills what the card sends: the count goes up and down but never past
    // what it reached, and the wait ends as on a dead line.
    elapsed_ = {};
    auto refilled = [this]() -> std::optional<uint16_t> {
        return static_cast<uint16_t>(2 + (elapsed_.count() / 10) % 2);
    };
    EXPECT_EQ(AwaitTransmitDrain(10, refilled, VirtualTiming()), DrainOutcome::NoProgress);
    EXPECT_EQ(elapsed_, std::chrono::milliseconds(1010));

    // A port that no longer answers: no waiting at all.
    elapsed_ = {};
    EXPECT_EQ(AwaitTransmitDrain(
                  10, [] { return std::optional<uint16_t>(); }, VirtualTiming()),
              DrainOutcome::Failed);
    EXPECT_EQ(elapsed_.count(), 0);
}

TEST(DrainBound, CoversTwoLargestFramesAtTheGeneratorsRateAndOnlyWhenTheRateIsKnown) {
    PortInfo info{};
    std::memcpy(info.oscillator, "20.000", 7);
    info.maxTxFrame = 1024;
    PortState state{};
    state.txClock = 2;  // the baud rate generator, from the oscillator
    state.divisor = 4999;
    constexpr std::chrono::milliseconds kFloor{1000};
    // 4 kbit/s: 1,029 bytes with stuffing are 9,878 bits, 2.47 s; twice that.
    EXPECT_DOUBLE_EQ(TransmitBitsPerSecond(info, state), 4000.0);
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), std::chrono::milliseconds(4940));
    // A fast line keeps the floor.
    state.divisor = 0;
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kFloor);
    // A clock from a pin, or a generator fed from one: the rate is unknown, the floor holds.
    state.divisor = 4999;
    state.txClock = 1;
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kFloor);
    state.txClock = 2;
    state.brgSource = 1;
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kFloor);
    // An oscillator text that is no number, and one so slow the line is as good as stopped.
    state.brgSource = 0;
    std::memcpy(info.oscillator, "fast\0", 6);
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kFloor);
    std::memset(info.oscillator, 'x', sizeof info.oscillator);  // no terminator at all
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kFloor);
    std::memcpy(info.oscillator, "0.0001", 7);
    EXPECT_EQ(NoProgressLimitFor(info, state, kFloor), kLongestDrainWait);
}

TEST(StatusMap, BusyMeansNoTransmitBufferOnlyForWrites) {
    EXPECT_EQ(ResultFromStatus(RequestKind::Write, wyvel32::STATUS_DEVICE_BUSY),
              uint32_t{QORVAL_NO_TX_BUFFER});
    EXPECT_EQ(ResultFromStatus(RequestKind::Control, wyvel32::STATUS_DEVICE_BUSY),
              uint32_t{QORVAL_GENERAL_ERROR});
    EXPECT_EQ(ResultFromStatus(RequestKind::Open, wyvel32::STATUS_DELETE_PENDING),
              uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(ResultFromStatus(RequestKind::Read, wyvel32::STATUS_DELETE_PENDING),
              uint32_t{QORVAL_PORT_NOT_OPEN});
    EXPECT_EQ(ResultFromStatus(RequestKind::Open, 0xC0000022), uint32_t{QORVAL_SHARING_VIOLATION});
    EXPECT_EQ(ResultFromStatus(RequestKind::Read, 0xDEADBEEF), uint32_t{QORVAL_GENERAL_ERROR});
}

}  // namespace
}  // namespace qorval::library
