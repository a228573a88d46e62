// The read-ahead area between the host that publishes frames it took from the driver and the
// client that reads them: every read is answered as the driver's read would answer it, frames
// come out once and in order however the byte ring wraps, dropped frames never come out, and
// neither side trusts the words the other writes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "driver/ntstatus.h"
#include "host/protocol/frames_ahead.h"

namespace qorval::protocol::ring {
namespace {

struct Area {
    Area() : bytes(static_cast<uint8_t*>(std::aligned_alloc(4096, kAheadAreaSize))) {
        std::memset(bytes.get(), 0, kAheadHeaderSize);
    }
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> bytes;
    AheadView view() const { return AheadView(bytes.get()); }
};

// Frame `number` of `length` bytes, each byte telling both apart.
HeldFrame Numbered(uint32_t number, size_t length, uint32_t crc_bytes = 2) {
    HeldFrame frame;
    frame.status = number % 5 == 0 ? wyvel32::STATUS_CRC_ERROR : wyvel32::STATUS_SUCCESS;
    frame.room = static_cast<uint32_t>(length) + crc_bytes;
    frame.buffers = number % 3 == 0 ? 2 : 1;
    frame.arrival_ns = 0x1'0000'0000ull * number + 7;
    frame.bytes.resize(length);
    for (size_t i = 0; i < length; ++i) {
        frame.bytes[i] = static_cast<uint8_t>(number * 31 + i);
    }
    return frame;
}

TEST(FramesAhead, AReadIsAnsweredAsTheDriversReadWouldAnswerIt) {
    const Area area;
    FramesAheadWriter writer;
    FramesAheadReader reader;
    std::vector<uint8_t> buffer(100, 0xEE);
    FramesAheadReader::Answer answer;
    EXPECT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Empty);

    writer.Publish(area.view(), Numbered(5, 40, 4));  // needs 44 bytes of room, delivers 40
    // A buffer that holds the frame but not its CRC bytes: the mismatch, the frame stays.
    EXPECT_EQ(reader.Read(area.view(), std::span(buffer).first(43), answer),
              FramesAheadReader::Outcome::Answered);
    EXPECT_EQ(answer.status, wyvel32::STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(answer.information, 0u);
    EXPECT_EQ(buffer[0], 0xEE);
    // A read of no bytes touches no frame.
    EXPECT_EQ(reader.Read(area.view(), std::span(buffer).first(0), answer),
              FramesAheadReader::Outcome::Answered);
    EXPECT_EQ(answer.status, wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(answer.information, 0u);

    ASSERT_EQ(reader.Read(area.view(), std::span(buffer).first(44), answer),
              FramesAheadReader::Outcome::Answered);
    const HeldFrame expected = Numbered(5, 40, 4);
    EXPECT_EQ(answer.status, wyvel32::STATUS_CRC_ERROR);
    EXPECT_EQ(answer.information, 40u);
    EXPECT_EQ(answer.arrival_ns, expected.arrival_ns);
    EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), buffer.begin()));
    EXPECT_EQ(buffer[40], 0xEE);  // nothing beyond the frame is written
    EXPECT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Empty);
}

TEST(FramesAhead, FramesComeOutOnceAndInOrderWhileTheByteRingWrapsAndFills) {
    const Area area;
    FramesAheadWriter writer;
    FramesAheadReader reader;
    std::vector<uint8_t> buffer(kMaxPayload);
    uint32_t published = 0;
    uint32_t read = 0;
    // Sizes from 0 to a whole payload, so frames meet the end of the byte ring at every
    // distance; more than four times the ring goes through.
    const auto size_of = [](uint32_t number) -> size_t {
        return number % 4 == 0 ? kMaxPayload - 2 : (number * 7919u) % 3000;
    };
    while (read < 300) {
        // Fill until the writer says full, then check it is.
        while (writer.HasRoomFor(size_of(published))) {
            writer.Publish(area.view(), Numbered(published, size_of(published)));
            ++published;
            ASSERT_LE(writer.Held(), kAheadFrames);
        }
        ASSERT_GT(writer.Held(), 0u) << "an empty area must take any frame";
        // Take a few, then let the writer collect them.
        for (int i = 0; i < 3 && read < published; ++i, ++read) {
            FramesAheadReader::Answer answer;
            ASSERT_EQ(reader.Read(area.view(), buffer, answer),
                      FramesAheadReader::Outcome::Answered);
            const HeldFrame expected = Numbered(read, size_of(read));
            ASSERT_EQ(answer.information, expected.bytes.size()) << "frame " << read;
            ASSERT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), buffer.begin()))
                << "frame " << read;
            ASSERT_EQ(answer.status, expected.status);
        }
        ASSERT_TRUE(writer.Collect(area.view()));
        ASSERT_EQ(writer.Held(), published - read);
    }
}

TEST(FramesAhead, DroppedFramesNeverComeOutAndNoLongerCount) {
    const Area area;
    FramesAheadWriter writer;
    FramesAheadReader reader;
    std::vector<uint8_t> buffer(256);
    FramesAheadReader::Answer answer;
    for (uint32_t n = 0; n < 4; ++n) {
        writer.Publish(area.view(), Numbered(n, 16));  // frames 0 and 3 gave back two buffers
    }
    ASSERT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Answered);
    ASSERT_TRUE(writer.Collect(area.view()));
    EXPECT_EQ(writer.Held(), 3u);
    EXPECT_EQ(writer.HeldBuffers(), 4u);

    writer.DropAll(area.view());  // the receive buffers were reset
    EXPECT_EQ(writer.Held(), 0u);
    EXPECT_EQ(writer.HeldBuffers(), 0u);
    writer.Publish(area.view(), Numbered(10, 16));
    EXPECT_EQ(writer.HeldBuffers(), 1u);
    ASSERT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Answered);
    EXPECT_EQ(buffer[0], Numbered(10, 16).bytes[0]);
    EXPECT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Empty);
    // The dropped frames' space is free again once the client has passed them.
    ASSERT_TRUE(writer.Collect(area.view()));
    EXPECT_EQ(writer.Held(), 0u);
}

// The counts block carries where the area stood (the writer's mark); the client adds the
// buffers of the frames it has not taken, whatever it took since, and leaves to the host a
// mark that does not fit its own head.
TEST(FramesAhead, TheClientCountsTheBuffersOfTheFramesItHasNotTaken) {
    const Area area;
    FramesAheadWriter writer;
    FramesAheadReader reader;
    std::vector<uint8_t> buffer(256);
    FramesAheadReader::Answer answer;
    EXPECT_EQ(reader.HeldBuffers(area.view(), writer.Mark()), 0u);
    for (uint32_t n = 0; n < 5; ++n) {
        writer.Publish(area.view(), Numbered(n, 16));  // buffers 2, 1, 1, 2, 1
    }
    AheadMark mark = writer.Mark();
    EXPECT_EQ(reader.HeldBuffers(area.view(), mark), 7u);
    for (int taken = 0; taken < 2; ++taken) {
        ASSERT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Answered);
    }
    EXPECT_EQ(reader.HeldBuffers(area.view(), mark), 4u) << "the host has not collected yet";

    // Suspended, the area hands out nothing: the host answers.
    FramesAheadWriter::Suspend(area.view(), true);
    EXPECT_EQ(reader.Read(area.view(), buffer, answer), FramesAheadReader::Outcome::Empty);
    FramesAheadWriter::Suspend(area.view(), false);

    writer.DropAll(area.view());
    mark = writer.Mark();
    EXPECT_EQ(reader.HeldBuffers(area.view(), mark), 0u);
    writer.Publish(area.view(), Numbered(6, 16));
    mark = writer.Mark();
    EXPECT_EQ(reader.HeldBuffers(area.view(), mark), 2u);

    EXPECT_FALSE(reader.HeldBuffers(area.view(), AheadMark{1, 0, mark.buffers}))
        << "the client's head lies beyond the mark's tail";
    EXPECT_FALSE(reader.HeldBuffers(area.view(), AheadMark{mark.tail, mark.from, mark.buffers + 9}))
        << "more buffers than the frames can have given back";
}

TEST(FramesAhead, NeitherSideTrustsTheOthersWords) {
    const Area area;
    FramesAheadWriter writer;
    writer.Publish(area.view(), Numbered(1, 16));
    writer.Publish(area.view(), Numbered(2, 16));
    // A client head beyond what was published, or behind what it already took.
    Store(area.view().header().head, 3);
    EXPECT_FALSE(writer.Collect(area.view()));
    Store(area.view().header().head, 1);
    EXPECT_TRUE(writer.Collect(area.view()));
    Store(area.view().header().head, 0);
    EXPECT_FALSE(writer.Collect(area.view()));

    std::vector<uint8_t> buffer(kMaxPayload);
    FramesAheadReader::Answer answer;
    {
        const Area host;  // a host that claims more frames than the area holds
        Store(host.view().header().tail, kAheadFrames + 1);
        FramesAheadReader reader;
        EXPECT_EQ(reader.Read(host.view(), buffer, answer), FramesAheadReader::Outcome::Garbled);
    }
    {
        const Area host;  // a frame whose bytes would run past the area
        Store(host.view().header().tail, 1);
        Store(host.view().record(0).delivered, 64);
        Store(host.view().record(0).room, 64);
        Store(host.view().record(0).offset, kAheadDataSize - 63);
        FramesAheadReader reader;
        EXPECT_EQ(reader.Read(host.view(), buffer, answer), FramesAheadReader::Outcome::Garbled);
    }
}

// A host thread publishing while a client thread reads (ThreadSanitizer watches the bytes).
TEST(FramesAhead, AReaderOnAnotherThreadGetsEveryFrameWhole) {
    const Area area;
    constexpr uint32_t kFrames = 20000;
    std::thread host([&] {
        FramesAheadWriter writer;
        for (uint32_t n = 0; n < kFrames;) {
            if (!writer.Collect(area.view())) {
                ADD_FAILURE() << "the reader's head was out of range";
                std::abort();  // the reader would wait for ever
            }
            const size_t length = (n * 131u) % 700;
            if (writer.HasRoomFor(length)) {
                writer.Publish(area.view(), Numbered(n++, length));
            } else {
                std::this_thread::yield();
            }
        }
    });
    FramesAheadReader reader;
    std::vector<uint8_t> buffer(kMaxPayload);
    for (uint32_t n = 0; n < kFrames;) {
        FramesAheadReader::Answer answer;
        const auto outcome = reader.Read(area.view(), buffer, answer);
        ASSERT_NE(outcome, FramesAheadReader::Outcome::Garbled);
        if (outcome == FramesAheadReader::Outcome::Empty) {
            std::this_thread::yield();
            continue;
        }
        const HeldFrame expected = Numbered(n, (n * 131u) % 700);
        ASSERT_EQ(answer.information, expected.bytes.size()) << "frame " << n;
        ASSERT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), buffer.begin()))
            << "frame " << n;
        ASSERT_EQ(answer.arrival_ns, expected.arrival_ns);
        ++n;
    }
    host.join();
}

}  // namespace
}  // namespace qorval::protocol::ring
