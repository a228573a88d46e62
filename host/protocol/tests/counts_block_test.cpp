// The counts block between a host thread that publishes and client threads that look and
// sleep: no look is ever torn, and a sleeper wakes at the publish, not at its bound.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "host/protocol/counts_block.h"

namespace qorval::protocol::ring {
namespace {

struct Region {
    Region() : bytes(static_cast<uint8_t*>(std::aligned_alloc(4096, kHeaderSize))) {
        std::memset(bytes.get(), 0, kHeaderSize);
    }
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> bytes;
    RingView view() const { return RingView(bytes.get()); }
};

TEST(CountsBlock, ALookIsNeverTornWhileTheHostRewritesTheBlock) {
    const Region region;
    CountsWriter writer;
    std::atomic<bool> done{false};
    // Both halves of every value published are equal, so a look mixing two rewrites shows.
    std::thread host([&] {
        for (uint32_t i = 1; i <= 20000; ++i) {
            if (i % 7 == 0) {
                writer.Publish(region.view(), std::nullopt);
            } else {
                writer.Publish(region.view(), (i & 0xFFFF) | (i & 0xFFFF) << 16);
            }
        }
        done = true;
    });
    while (!done.load()) {
        CountsLook look;
        if (!LookAtCounts(region.view(), look)) {
            continue;  // half written for a long time: the host was descheduled meanwhile
        }
        ASSERT_EQ(look.sequence % 2, 0u);
        if (look.valid) {
            ASSERT_EQ(look.counts & 0xFFFF, look.counts >> 16);
        }
    }
    host.join();
    CountsLook last;
    ASSERT_TRUE(LookAtCounts(region.view(), last));
    EXPECT_TRUE(last.valid);
    EXPECT_EQ(last.counts, 20000u | 20000u << 16);
}

TEST(CountsBlock, ASleeperWakesWhenCountsArePublishedNotAtItsBound) {
    const Region region;
    CountsWriter writer;
    writer.Publish(region.view(), 5);
    CountsLook before;
    ASSERT_TRUE(LookAtCounts(region.view(), before));
    auto sleeper = std::async(std::launch::async, [&] {
        WaitForCountsChange(region.view(), before.sequence, std::chrono::minutes(5));
    });
    // Once it sleeps (it counted itself), a withdrawal lets it sleep on; the next counts wake it.
    while (Load(region.view().header().counts_sleepers, std::memory_order_seq_cst) == 0) {
        std::this_thread::yield();
    }
    writer.Publish(region.view(), std::nullopt);
    writer.Publish(region.view(), 6);
    ASSERT_EQ(sleeper.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(Load(region.view().header().counts_sleepers), 0u);
    // A sequence that has already moved on ends the wait at once.
    WaitForCountsChange(region.view(), before.sequence, std::chrono::minutes(5));
}

}  // namespace
}  // namespace qorval::protocol::ring
