#pragma once
// The shared memory of one request ring and its wake channels, owned by one side.
//
// The host makes it (Create): a memory file of exactly kRegionSize bytes, sealed so that
// nobody can shrink or grow it (a mapping of it can never fault), mapped, and a wake channel
// for the host and one per slot. It hands the client its ends (ClientDescriptors) with the
// create reply and keeps its own. The client takes the descriptors it received (Adopt),
// checks the memory file's size and maps it.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "host/protocol/request_ring.h"

namespace qorval::protocol::ring {

class RingRegion {
  public:
    ~RingRegion();
    RingRegion(const RingRegion&) = delete;
    RingRegion& operator=(const RingRegion&) = delete;

    // Host side. Null (with the reason) when the system refused memory or descriptors.
    static std::unique_ptr<RingRegion> Create(std::string* error);
    // Client side: takes ownership of the kDescriptorCount descriptors received, in their
    // order; they are closed when they do not make a ring.
    static std::unique_ptr<RingRegion> Adopt(std::vector<int> descriptors, std::string* error);

    RingView view() const { return RingView(static_cast<uint8_t*>(base_)); }
    // The host's ends: its wake channel (it reads), and the slots' (it writes).
    // The client's ends: the host's wake channel (it writes), and the slots' (it reads).
    int host_wake() const { return host_wake_; }
    int slot_wake(uint32_t slot) const { return slot_wake_[slot]; }

    // Host side, until ForgetClientDescriptors: the client's descriptors, in handover order.
    std::vector<int> ClientDescriptors() const;
    // Host side, once they were sent: closes the host's copies of what went to the client.
    void ForgetClientDescriptors();

  private:
    RingRegion() = default;
    static constexpr std::array<int, kSlots> NoDescriptors() {
        std::array<int, kSlots> none{};
        none.fill(-1);
        return none;
    }

    void* base_ = nullptr;
    int memory_ = -1;
    int host_wake_ = -1;
    std::array<int, kSlots> slot_wake_ = NoDescriptors();
    // Host side: the ends that go to the client.
    int client_host_wake_ = -1;
    std::array<int, kSlots> client_slot_wake_ = NoDescriptors();
};

}  // namespace qorval::protocol::ring
