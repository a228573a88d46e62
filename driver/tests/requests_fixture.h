#pragma once
// The driver loaded into a kernel model, with simulated cards announced as PCI functions and
// stepped in virtual time. Requests go through the I/O manager exactly as the driver host
// sends them.

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <memory>
#include <optional>
#include <vector>

#include "driver/port_device.h"
#include "kernel/io_manager.h"
#include "platform/event_log.h"
#include "platform/registry.h"
#include "sim/line.h"
#include "sim/sim_card.h"

namespace wyvel32::testing {

using qorval::kernel::IoManager;

// The outcome of one request.
struct Result {
    NTSTATUS status = 0;
    uint64_t information = 0;
    std::vector<uint8_t> output;
    bool done = false;
};

// A request whose completion may come later (a waiting read).
class Pending {
  public:
    IoManager::Completion Callback();
    bool Done() const;
    Result Get() const;
    int Calls() const;
    // Waits for the completion (a generous bound, not a timing); false if it never came.
    bool Wait() const;

  private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_done;
    Result m_result;
    int m_calls = 0;
};

class RequestsFixture : public ::testing::Test {
  protected:
    static constexpr int kMaxCards = 4;

    void SetUp() override;
    void TearDown() override;

    // Announces the card of `index` (0-based) as a PCI function with its resources; returns
    // its id. `with_interrupt` false leaves the interrupt out of the resource lists.
    IoManager::DeviceId Announce(int index, bool with_interrupt = true);
    // Announces and starts; expects success.
    IoManager::DeviceId AddAndStart(int index);
    // Wires cards 0 and 1 back to back, or card 0 to itself.
    void WirePair();
    void WireLoopback();

    // Opens port `number` (1-based); synchronous handles never wait for frames.
    NTSTATUS OpenPort(uint32_t number, bool synchronous, IoManager::Handle* handle);
    IoManager::Handle Open(uint32_t number, bool synchronous = true);

    // Requests that complete at once (or after Pump), returning their outcome.
    Result Write(IoManager::Handle handle, const std::vector<uint8_t>& frame);
    Result Read(IoManager::Handle handle, uint32_t length);
    Result Control(IoManager::Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                   uint32_t output_length);

    // Runs the line until idle, delivering every interrupt the cards raise.
    void Pump();

    PortDevice* Device(uint32_t number);  // the port's extension, or null
    std::vector<uint32_t> EventCodes() const;
    // Sets a value in port `number`'s registry key (written with defaults by its first start).
    void SetPortValue(uint32_t number, const std::string& name, uint32_t value);
    uint32_t Vector(int index) const { return 0x40 + index; }

    qorval::platform::Registry registry;
    qorval::platform::RecordingEventLog events;
    std::array<std::unique_ptr<qorval::sim::SimCard>, kMaxCards> cards;
    std::unique_ptr<qorval::sim::Line> line;
    std::vector<std::pair<int, IoManager::DeviceId>> announced;  // card index, function id
    std::unique_ptr<IoManager> kernel;
};

// Frame bytes that differ by seed.
std::vector<uint8_t> Frame(size_t length, uint8_t seed);

}  // namespace wyvel32::testing
