#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "host/protocol/ring_region.h"
#include "host/protocol/submission_reader.h"

namespace qorval::protocol::ring {
namespace {

struct Region {
    std::unique_ptr<RingRegion> ring;
    RingView view() const { return ring->view(); }

    void Submit(uint32_t& tail, uint32_t slot, Function function, uint32_t output_length,
                uint32_t input_length) {
        SlotHeader& shared = view().slot(slot);
        Store(shared.sequence, 100 + slot);
        Store(shared.function, static_cast<uint32_t>(function));
        Store(shared.output_length, output_length);
        Store(shared.input_length, input_length);
        Store(view().header().submissions[tail % kSlots], slot);
        Store(view().header().submit_tail, ++tail);
    }
};

Region MakeRegion() {
    std::string problem;
    Region region{RingRegion::Create(&problem)};
    EXPECT_NE(region.ring, nullptr) << problem;
    return region;
}

TEST(SubmissionReader, TakesACopyAndCompletesIntoTheSlotWithinTheCopiedLengths) {
    Region region = MakeRegion();
    SubmissionReader reader;
    uint32_t tail = 0;
    region.Submit(tail, 1, Function::Read, 10, 0);
    RingRequest taken;
    const char* problem = nullptr;
    ASSERT_EQ(reader.Take(region.view(), taken, &problem), SubmissionReader::Outcome::Taken);
    EXPECT_EQ(taken.slot, 1u);
    EXPECT_EQ(taken.sequence, 101u);
    EXPECT_EQ(reader.Take(region.view(), taken, &problem), SubmissionReader::Outcome::Empty);

    // The client changes the request after it was taken: the host keeps to its copy.
    SlotHeader& shared = region.view().slot(1);
    Store(shared.output_length, kSlotDataSize);
    Store(shared.waiting, 1);
    const std::vector<uint8_t> output(40, 0xAB);
    EXPECT_TRUE(reader.Complete(region.view(), taken, 0xC000003F, 40, output));
    EXPECT_EQ(Load(shared.state), kCompleted);
    EXPECT_EQ(Load(shared.reply_sequence), 101u);
    EXPECT_EQ(Load(shared.status), 0xC000003Fu);
    EXPECT_EQ(Load(shared.information), 40u);
    EXPECT_EQ(Load(shared.reply_length), 10u) << "no more output than the request had room for";
    EXPECT_EQ(region.view().data(1)[9], 0xAB);
    EXPECT_EQ(region.view().data(1)[10], 0);
    EXPECT_EQ(reader.InFlight(), 0u);

    // A completed slot may be submitted again; one still in flight may not.
    region.Submit(tail, 1, Function::Write, 0, 64);
    ASSERT_EQ(reader.Take(region.view(), taken, &problem), SubmissionReader::Outcome::Taken);
    EXPECT_EQ(taken.input_length, 64u);
    region.Submit(tail, 1, Function::Write, 0, 64);
    EXPECT_EQ(reader.Take(region.view(), taken, &problem), SubmissionReader::Outcome::Malformed);
    EXPECT_NE(problem, nullptr);
}

TEST(RingRegion, TheClientTakesOnlyASealedFileOfTheRingsSize) {
    Region host = MakeRegion();
    std::vector<int> handed;
    for (const int fd : host.ring->ClientDescriptors()) {
        handed.push_back(::dup(fd));
    }
    std::string problem;
    auto client = RingRegion::Adopt(handed, &problem);
    ASSERT_NE(client, nullptr) << problem;
    // Both sides see the same memory.
    Store(client->view().header().submit_tail, 7);
    EXPECT_EQ(Load(host.view().header().submit_tail), 7u);

    // An unsealed file of the right size (the host could shrink it under the mapping), and
    // too few descriptors, are refused.
    auto with_memory = [&](int memory) {
        std::vector<int> fds{memory};
        for (size_t i = 1; i < kDescriptorCount; ++i) {
            fds.push_back(::dup(host.ring->ClientDescriptors()[i]));
        }
        return fds;
    };
    const int unsealed = ::memfd_create("unsealed", MFD_CLOEXEC);
    ASSERT_EQ(::ftruncate(unsealed, kRegionSize), 0);
    EXPECT_EQ(RingRegion::Adopt(with_memory(unsealed), &problem), nullptr);
    EXPECT_EQ(RingRegion::Adopt({::dup(host.ring->ClientDescriptors()[0])}, &problem), nullptr);
}

}  // namespace
}  // namespace qorval::protocol::ring
