// Frames through reads and writes, end to end across simulated cards in virtual time.

#include "driver/ioctl_codes.h"
#include "driver/port_records.h"
#include "driver/tests/requests_fixture.h"

namespace wyvel32::testing {
namespace {

using namespace qorval::kernel;

class RequestFrames : public RequestsFixture {
  protected:
    void SetUp() override {
        RequestsFixture::SetUp();
        AddAndStart(0);
        AddAndStart(1);
        WirePair();
    }
};

TEST_F(RequestFrames, AFrameWrittenOnOnePortIsReadWholeOnTheOther) {
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2);
    const std::vector<uint8_t> frame = Frame(300, 1);
    const Result write = Write(sender, frame);
    EXPECT_EQ(write.status, STATUS_SUCCESS);
    EXPECT_EQ(write.information, 300u);  // done once in card memory
    Pump();
    const Result read = Read(receiver, 4096);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(read.output, frame);
    // Nothing more: a synchronous handle gets success with no bytes.
    const Result empty = Read(receiver, 4096);
    EXPECT_EQ(empty.status, STATUS_SUCCESS);
    EXPECT_EQ(empty.information, 0u);
}

// The read length is compared with the frame length including its 4 CRC bytes (the default
// key uses CRC-32); a frame that does not fit stays first in line.
TEST_F(RequestFrames, ReadLengthsAgainstAWaitingFrame) {
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2);
    Write(sender, Frame(200, 2));
    Write(sender, Frame(10, 3));
    Pump();
    struct Case {
        uint32_t length;
        NTSTATUS status;
        uint64_t bytes;
    };
    const Case cases[] = {
        {0, STATUS_SUCCESS, 0},  // zero-length read: done at once
        {100, STATUS_INFO_LENGTH_MISMATCH, 0},
        {203, STATUS_INFO_LENGTH_MISMATCH, 0},
        {204, STATUS_SUCCESS, 200},
        {14, STATUS_SUCCESS, 10},
        {14, STATUS_SUCCESS, 0},
    };
    for (const Case& c : cases) {
        const Result read = Read(receiver, c.length);
        EXPECT_EQ(read.status, c.status) << c.length;
        EXPECT_EQ(read.information, c.bytes) << c.length;
    }
}

TEST_F(RequestFrames, WriteLengthsAndFullTransmitBuffers) {
    const IoManager::Handle sender = Open(1);
    EXPECT_EQ(Write(sender, {}).status, STATUS_SUCCESS);
    EXPECT_EQ(Write(sender, Frame(1025, 4)).status, STATUS_INVALID_PARAMETER);
    // Without the card running no frame leaves: 100 buffers fill, the 101st write is refused.
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Write(sender, Frame(1024, 5)).status, STATUS_SUCCESS) << i;
    }
    const Result busy = Write(sender, Frame(16, 6));
    EXPECT_EQ(busy.status, STATUS_DEVICE_BUSY);
    EXPECT_EQ(busy.information, 0u);
    Pump();
    EXPECT_EQ(Write(sender, Frame(16, 6)).status, STATUS_SUCCESS);
}

TEST_F(RequestFrames, AWaitingReadIsServedWhenItsFrameArrives) {
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2, false);  // overlapped: reads wait
    Pending first;
    Pending second;
    kernel->Read(receiver, 4096, first.Callback());
    kernel->Read(receiver, 4096, second.Callback());
    EXPECT_FALSE(first.Done());
    Write(sender, Frame(40, 7));
    Write(sender, Frame(41, 8));
    Pump();
    ASSERT_TRUE(first.Done());
    ASSERT_TRUE(second.Done());
    EXPECT_EQ(first.Get().output, Frame(40, 7));
    EXPECT_EQ(second.Get().output, Frame(41, 8));
}

TEST_F(RequestFrames, WaitingReadsEndByCancelOrByTheirHandlesCleanup) {
    const IoManager::Handle receiver = Open(2, false);
    Pending current;
    Pending queued;
    const auto id = kernel->Read(receiver, 64, current.Callback());
    kernel->Read(receiver, 64, queued.Callback());
    EXPECT_TRUE(kernel->CancelRequest(receiver, id));
    EXPECT_EQ(current.Get().status, STATUS_CANCELLED);
    EXPECT_FALSE(queued.Done());  // now current, still waiting
    EXPECT_EQ(kernel->CloseHandle(receiver), STATUS_SUCCESS);
    EXPECT_EQ(queued.Get().status, STATUS_CANCELLED);
    EXPECT_EQ(queued.Calls(), 1);
}

TEST_F(RequestFrames, ErroredFramesCarryTheirStatusAndTheirData) {
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2);
    cards[1]->InjectReceiveCrcError(1);
    Write(sender, Frame(30, 9));
    Pump();
    const Result crc = Read(receiver, 100);
    EXPECT_EQ(crc.status, STATUS_CRC_ERROR);
    EXPECT_EQ(crc.information, 30u);
    // The next frame is clean again: the error was reported with its own frame only.
    Write(sender, Frame(30, 10));
    Pump();
    EXPECT_EQ(Read(receiver, 100).status, STATUS_SUCCESS);

    cards[1]->InjectReceiveOverrun(1);
    Write(sender, Frame(300, 11));
    Pump();
    EXPECT_EQ(Read(receiver, 400).status, STATUS_DATA_OVERRUN);
}

TEST_F(RequestFrames, ACrcErrorPassesAsSuccessOnAPortWithoutCrc) {
    SetPortValue(2, "CrcUsed", 0);
    SetPortValue(1, "CrcUsed", 0);
    // CrcUsed takes effect at the next start of the device.
    for (IoManager::DeviceId id : {announced[0].second, announced[1].second}) {
        ASSERT_EQ(kernel->QueryStopDevice(id), STATUS_SUCCESS);
        ASSERT_EQ(kernel->StopDevice(id), STATUS_SUCCESS);
        ASSERT_EQ(kernel->StartDevice(id), STATUS_SUCCESS);
    }
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2);
    cards[1]->InjectReceiveCrcError(1);
    Write(sender, Frame(30, 12));
    Pump();
    const Result read = Read(receiver, 100);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(read.information, 30u);
}

}  // namespace
}  // namespace wyvel32::testing
