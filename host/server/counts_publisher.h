#pragma once
// Publishes the driver's buffer counts of one handle in its request ring's counts block
// (host/protocol/counts_block.h), so that the client answers QORVAL_GetBufferCount without a
// request. The counts published are always the answer of the driver's own request, sent by
// the host on the handle.
//
// The invariant (docs/request-transport.md, "Counts from memory"): while the block says
// valid, its counts are what the driver's buffer-count request would answer at that very
// moment. The driver changes the counts only in its service routine and the DPCs it queues,
// in its dispatch of the client's reads, writes and device controls, and in Plug and Play
// and power requests. Before any of these can change a count the block is withdrawn:
//   - under the interrupt lock, before the service routine runs (DeviceActivity);
//   - before the connection's thread dispatches a round of the client's requests;
//   - before a Plug and Play or power request is sent to the function.
// Once all of them are over (no service routine running, no DPC queued or running, the round's
// dispatch returned, no Plug and Play request under way) the host asks the driver and
// publishes the answer, unless something withdrew the block again meanwhile (an epoch counts
// the withdrawals). So a client that reads a valid block gets the driver's answer of the
// moment it read; a client that finds it withdrawn asks the driver through the ring.
//
// Reading ahead (read_ahead.h): where the counts are refreshed, frames the driver holds are
// first taken into the read-ahead area, with the counts withdrawn, and the block then carries
// where the area stood when the driver was asked, so that the client adds the buffers of the
// frames held that it has not taken yet. Each refresh holds the area for its whole length
// (asking, taking, publishing); one that finds it held by another thread leaves a note, and
// the holder refreshes again when it lets go.
//
// Threads: the watcher's calls come on whichever thread ran the service routine, the DPCs or
// the Plug and Play request; the rest on the connection's thread. One lock serialises every
// write of the block; the driver is asked outside it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "host/protocol/counts_block.h"
#include "host/protocol/request_ring.h"
#include "host/server/read_ahead.h"
#include "kernel/device_activity.h"
#include "kernel/io_manager.h"

namespace qorval::host {

class CountsPublisher final : public kernel::DeviceActivity::Watcher,
                              public std::enable_shared_from_this<CountsPublisher> {
  public:
    using Cause = kernel::DeviceActivity::Cause;

    // `ahead`: the handle's read-ahead, or null when the handle does not read ahead.
    CountsPublisher(kernel::IoManager& kernel, kernel::IoManager::Handle handle,
                    protocol::ring::RingView ring, std::shared_ptr<ReadAhead> ahead);

    // Starts watching the handle's function and publishes the first answer. Without a function
    // (no activity to watch) nothing is ever published and the client always asks.
    void Start();
    // Withdraws the counts for good, wakes every sleeping client thread and stops watching;
    // before the handle closes and before the ring goes. Nothing is written after it returns.
    void Stop();

    // Around a round of the client's requests on the connection's thread: the counts are
    // withdrawn before the first is dispatched and published again after the round.
    void BeginRound();
    void EndRound();
    // After the connection's thread let go of the read-ahead area: refreshes when a refresh
    // found it held meanwhile.
    void RefreshIfMissed();

    void Unsettled(Cause cause, uint64_t run) override;
    void Settled(Cause cause, uint64_t run) override;

  private:
    bool BusyLocked() const;
    void WithdrawLocked();
    // Asks the driver and publishes its answer when nothing withdrew the counts meanwhile;
    // with reading ahead, takes the frames waiting first.
    void Refresh();
    // One refresh, holding the area; false when something is under way (whoever ends it
    // refreshes) or the area is held elsewhere (its holder refreshes).
    bool RefreshOnce();
    // Frames may be taken: no service routine, Plug and Play or power request under way.
    bool TakingAllowedLocked() const;
    bool StillSettled(uint64_t epoch);

    kernel::IoManager& kernel_;
    const kernel::IoManager::Handle handle_;
    const protocol::ring::RingView ring_;
    const std::shared_ptr<ReadAhead> ahead_;
    std::shared_ptr<kernel::DeviceActivity> activity_;
    std::atomic<bool> refresh_missed_{false};

    std::mutex lock_;  // guards everything below
    protocol::ring::CountsWriter writer_;
    bool stopped_ = false;
    uint64_t epoch_ = 0;            // withdrawals so far
    uint64_t runs_begun_ = 0;       // the latest service routine run that began
    uint64_t runs_settled_ = 0;     // the latest run whose DPCs are over
    unsigned requests_ = 0;         // Plug and Play or power requests under way
    bool round_ = false;            // the connection's thread dispatches requests
};

}  // namespace qorval::host
