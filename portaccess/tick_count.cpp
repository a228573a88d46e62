#include "portaccess/tick_count.h"

#include <atomic>
#include <chrono>

namespace qorval {
namespace {

uint32_t MonotonicTicks() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<TickSource> g_source{&MonotonicTicks};

}  // namespace

uint32_t GetTickCount() { return g_source.load(std::memory_order_acquire)(); }

void SetTickSource(TickSource source) {
    g_source.store(source != nullptr ? source : &MonotonicTicks, std::memory_order_release);
}

}  // namespace qorval
