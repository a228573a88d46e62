#pragma once
// The model behind the fake QORVAL_* functions: ports, handles, frames and the virtual clock,
// all under one mutex. Internal to qorval32_fake.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval32.h"

namespace qorval::fake {

using PortKey = std::pair<uint16_t, uint16_t>;  // driver type, port number

struct FakeFrame {
    std::vector<uint8_t> bytes;
    uint32_t at_ms = 0;
    uint32_t result = 0;
};

struct FakePort {
    FakePortSpec port_spec;
    QORVAL_HANDLE handle = 0;         // 0 while closed
    std::optional<PortKey> peer;      // where frames put here arrive
    std::deque<FakeFrame> scheduled;  // scripted frames not yet arrived, by at_ms
    std::deque<FakeFrame> waiting;    // arrived, to be read
    std::vector<SentFrame> sent;      // put without a peer
    std::optional<uint16_t> txFreeForced;
    uint16_t modemOutputs = 0;  // DTR, RTS
    uint16_t modemInputs = 0;   // set by the test
    uint32_t dropped = 0;
    bool removed = false;  // surprise-removed: its handle gets 7, it is not listed or opened
    PortState state{};  // settable fields and counters
    std::optional<PortInfo> info;         // replaces the adapter driver's PortInfo when set
    std::optional<PortState> lastWritten;  // the record of the last QORVAL_SetPortState
};

struct FakeState {
    mutable std::mutex mutex;
    std::map<PortKey, FakePort> ports;
    std::map<QORVAL_HANDLE, PortKey> handles;
    QORVAL_HANDLE nextHandle = 1;
    std::atomic<uint32_t> nowMs{0};
    uint32_t autoAdvanceMs = 0;
    std::map<std::string, uint32_t, std::less<>> failNext;
    std::optional<uint16_t> reportedDriverCount;  // SystemInfo's count in place of 4
    bool hostGone = false;                        // KillHost until RestartHost
    std::set<QORVAL_HANDLE> deadHandles;          // handles a dead host served
    std::function<void()> closeWait;              // run by QORVAL_PortClose before it acts
    std::deque<std::string> callLog;  // newest kLogLimit calls
    static constexpr size_t kLogLimit = 1 << 16;

    // Called at the start of every QORVAL_* function with the lock held: logs the call,
    // advances the clock and returns the forced failure if one is pending.
    std::optional<uint32_t> Enter(std::string_view function, std::string args);
    FakePort* ByHandle(QORVAL_HANDLE handle);
    FakePort* ByKey(PortKey key);
    // Moves scripted frames whose time has come into the waiting list and counts them.
    void Arrive(FakePort& port);
    // A received frame enters the waiting list; counters follow its result.
    static void Receive(FakePort& port, FakeFrame frame);
    void Reset();
};

}  // namespace qorval::fake
