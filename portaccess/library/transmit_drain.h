#pragma once
// Closing a handle lets the frames it queued leave the card first. A write completes as soon
// as its frame is in card memory, and the driver's close stops the channel at once, dropping
// whatever is still queued; so the library waits, before it drops the connection, until every
// transmit buffer of the port is free again.
//
// The wait follows progress rather than a fixed limit: it goes on while buffers keep freeing
// (a full ring of large frames at a slow rate takes seconds to drain) and gives up once none
// has freed for the no-progress limit (a line without a transmit clock never drains; the
// close makes the limit cover one frame's time on a slow line, drain_bound.h), or at once
// when the port no longer answers (the host is gone).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

namespace qorval::library {

struct DrainTiming {
    // Given up after this long without a transmit buffer freeing.
    std::chrono::milliseconds no_progress_limit{1000};
    // The pause between two looks at the buffer count: short beside one frame's time at
    // 20 Mbit/s, long enough not to load the host.
    std::chrono::microseconds pause{500};
    // The clock and the pause; a test replaces both to run the wait in virtual time.
    std::function<std::chrono::steady_clock::time_point()> now = [] {
        return std::chrono::steady_clock::now();
    };
    std::function<void(std::chrono::microseconds)> sleep = [](std::chrono::microseconds d) {
        std::this_thread::sleep_for(d);
    };
};

enum class DrainOutcome {
    Drained,     // every transmit buffer is free
    NoProgress,  // no buffer freed within the limit: the rest stays queued and is dropped
    Failed       // the count could not be read
};

// Waits until `free_buffers` reports `buffers` free. `free_buffers` returns the count of free
// transmit buffers, or nullopt when the request failed.
DrainOutcome AwaitTransmitDrain(uint16_t buffers,
                                const std::function<std::optional<uint16_t>()>& free_buffers,
                                const DrainTiming& timing = {});

}  // namespace qorval::library
