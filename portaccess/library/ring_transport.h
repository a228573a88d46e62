#pragma once
// Requests on the handle's shared-memory request ring (host/protocol/request_ring.h): a call
// takes a free slot, fills it, puts it on the submission ring and waits for the host to mark
// it completed. While both sides run, nothing here makes a system call: the host is woken
// only when it said it sleeps, and a caller sleeps only after a brief spin, on its slot's wake
// channel and on the device socket together, so a host that dies ends the wait at once.
// Up to kSlots calls from different threads are in flight together. Buffer counts are
// answered from the ring's counts block without a request, and a caller that polls a quiet
// port sleeps on that block (counts_memory.h).

#include <condition_variable>
#include <memory>
#include <mutex>

#include "host/protocol/frames_ahead.h"
#include "host/protocol/ring_region.h"
#include "portaccess/library/counts_memory.h"
#include "portaccess/library/transport.h"

namespace qorval::library {

class RingTransport final : public Transport {
  public:
    // `socket` is the handle's device socket: it stays open as long as this transport.
    RingTransport(std::unique_ptr<protocol::ring::RingRegion> region, int socket);
    Completion Carry(const Call& call) override;

  private:
    static constexpr uint32_t kNoSlot = ~0u;

    Completion Read(const Call& call);
    // `ahead_next`: set when the host answered a read from the read-ahead area and took a frame.
    Completion CarryOnRing(const Call& call, std::optional<uint32_t>* ahead_next = nullptr);
    uint32_t AcquireSlot();
    void ReleaseSlot(uint32_t slot);
    void Submit(uint32_t slot);
    bool AwaitCompletion(uint32_t slot);
    void Break();

    std::unique_ptr<protocol::ring::RingRegion> region_;
    const protocol::ring::RingView ring_;
    const int socket_;
    protocol::ring::FramesAheadReader ahead_;  // its head: guarded by read_lock_
    CountsMemory counts_;

    std::mutex slots_lock_;
    std::condition_variable slot_freed_;
    uint32_t busy_slots_ = 0;  // bit per slot; guarded by slots_lock_
    bool broken_ = false;      // guarded by slots_lock_

    std::mutex submit_lock_;  // orders the entries of the submission ring
    uint32_t tail_ = 0;       // guarded by submit_lock_
    std::atomic<uint32_t> next_sequence_{1};

    std::mutex read_lock_;  // one read at a time: one order of frames
};

}  // namespace qorval::library
