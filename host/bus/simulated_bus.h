#pragma once
// The driver host's simulated PCI bus: it makes one simulated card per adapter port, announces
// each as a Plug and Play arrival with its own location and resources, starts it through the
// kernel model, wires the cards' lines and runs them in real time. The control socket's
// commands act on it (HostControl).
//
// Functions are identified by their slot (the PCI device number, from 1, in order of
// arrival); commands name ports, which the driver numbers itself, so the bus finds a port's
// function through the name of the device object the driver created.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/bus/card_clock.h"
#include "host/bus/card_lock.h"
#include "host/bus/line_time.h"
#include "host/bus/locked_card.h"
#include "host/bus/stream_policy.h"
#include "host/bus/stream_wire.h"
#include "host/server/control_commands.h"
#include "kernel/io_manager.h"
#include "sim/line.h"
#include "sim/sim_card.h"

namespace qorval::host {

struct BusOptions {
    unsigned ports = 2;
    WireKind wiring = WireKind::Pair;  // pair: 1-2, 3-4, ...
    bool unlimited_rate = false;       // false: the clock programme's bit rate
    double bit_error_rate = 0.0;
    double drop_rate = 0.0;
    // Byte-stream wirings made at boot: port number and "unix:<path>" / "tcp:[addr:]<port>".
    std::vector<std::pair<unsigned, std::string>> streams;
    // Where byte-stream wirings may listen (the prefix and the run folder are filled in by the
    // driver host), and the file of the secret TCP peers send first.
    StreamPolicy stream_policy;
    std::filesystem::path stream_token_file;
    // The largest frame a port receives (its RxBuffSize), where the byte stream from a peer is
    // cut into frames; null: 1024.
    std::function<size_t(unsigned port)> largest_receive_frame;
    // Asked before a device is started: why devices must not be started now (the driver is
    // disabled), or an empty string; null: they may.
    std::function<std::string()> start_refusal;
};

class SimulatedBus final : public HostControl {
  public:
    // `links_changed` runs after every Plug and Play change (the device sockets follow the
    // driver's symbolic links).
    SimulatedBus(kernel::IoManager& kernel, BusOptions options,
                 std::function<void()> links_changed);
    ~SimulatedBus() override;

    // Adds and starts the configured number of functions and wires them; the card clock runs
    // from here on. Returns the failures, one line each (a port that failed to start still
    // exists, not started).
    std::string Boot();
    // Removes every function (as at shutdown) and stops the clock.
    void Shutdown();

    // HostControl
    std::vector<protocol::PortListing> List() override;
    std::string Add(unsigned* port_number) override;
    std::string Start(unsigned port) override;
    std::string Stop(unsigned port) override;
    std::string SurpriseRemove(unsigned port) override;
    std::string Remove(unsigned port) override;
    std::string Power(unsigned port, PowerAction action) override;
    std::string Wire(WireKind kind, unsigned a, unsigned b) override;
    std::string WireStream(unsigned port, const std::string& address, std::string* bound) override;
    std::vector<StreamListing> Streams() override;
    std::string SetBitErrorRate(double probability, unsigned port) override;
    std::string SetDropRate(double probability, unsigned port) override;
    std::string SetLineRate(bool unlimited) override;

    // For tests: the card of a port (null when there is none).
    sim::SimCard* CardOfPort(unsigned port);
    // For tests: what the byte-stream wiring of a port has counted (nullopt: not so wired).
    std::optional<StreamWire::Statistics> StreamStatsOfPort(unsigned port);

  private:
    struct Function {
        unsigned slot = 0;
        kernel::IoManager::DeviceId id = 0;
        std::unique_ptr<sim::SimCard> card;
        std::unique_ptr<CardLock> lock;
        std::unique_ptr<LockedCard> hardware;
        bool present = true;  // false once surprise-removed (until removed)
    };
    struct Wiring {
        WireKind kind = WireKind::Open;
        unsigned peer_slot = 0;  // pair
        double bit_error_rate = 0.0;
        double drop_rate = 0.0;
    };
    struct WiredLine {
        std::vector<unsigned> slots;  // the cards on it, in the order the line has them
        std::unique_ptr<sim::Line> line;
        CardClock::RunLine run;
    };

    kernel::PhysicalDeviceInfo DescribeFunction(Function& function) const;
    std::function<void()> DeliveryOf(const Function& function);
    Function* FunctionOfPort(unsigned port);
    unsigned PortOf(const Function& function) const;
    std::string AddFunction(unsigned* slot_out);
    void RemoveFunction(unsigned slot);
    // Lines change one group at a time: the lines of the given slots, of every card that
    // shares a line with them and of the peers their wiring pairs them with. Every other line
    // keeps running with its frames in flight.
    std::set<unsigned> LineGroup(std::set<unsigned> slots) const;
    // Replaces the group's lines by lines built from the wiring, holding the cards' locks
    // throughout, so that no card of the group is ever without a line (a frame the card
    // finishes meanwhile always has somewhere to go). `leaving` gets no new line.
    void ReplaceLinesOf(const std::set<unsigned>& slots, unsigned leaving = 0);
    // The same in two halves, for a rewiring that must close a byte stream in between: the
    // cards of the group are without a line until BuildLinesOf, as on an unplugged cable.
    void DropLinesOf(const std::set<unsigned>& group);
    // A card's lock says the driver changed the card: a connection's thread dispatching a
    // request steps the lines itself once the driver's dispatch returns; any other thread
    // wakes the card clock.
    void CardChanged();
    // A card's lock was taken afresh: a connection's thread dispatching a request steps the
    // lines once the driver's dispatch returns if an event of theirs is already due, so a
    // tool that polls sees a frame that has ended without waiting for the card clock to wake.
    void CardEntered();
    void BuildLinesOf(const std::set<unsigned>& group);
    void LetGoOfLines(const std::set<unsigned>& group);  // the clock and byte streams
    void EraseLines(const std::set<unsigned>& group);    // holding the group's card locks
    void PlaceLine(unsigned slot);                       // holding them too
    std::vector<std::unique_lock<CardLock>> LockCards(const std::set<unsigned>& group);
    std::vector<CardClock::RunLine> Runs() const;
    bool OnLine(unsigned slot) const;
    std::unique_ptr<sim::Line> StreamLine(Function& function);
    void ApplyLineSettings();
    void Configure(sim::Line& line, unsigned slot);
    std::string Checked(kernel::NTSTATUS status, const char* what);
    std::string StartRefusal() const;

    kernel::IoManager& kernel_;
    BusOptions options_;
    std::function<void()> links_changed_;

    std::mutex lock_;  // one control command at a time; guards everything below
    std::map<unsigned, std::unique_ptr<Function>> functions_;             // by slot
    std::map<unsigned, Wiring> wiring_;                                   // by slot
    std::vector<WiredLine> lines_;
    std::map<unsigned, std::unique_ptr<StreamWire>> streams_;             // by slot
    unsigned next_slot_ = 1;
    CardClock clock_;
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
    // The system clock at the origin: what a card time adds to (line_time.h).
    uint64_t origin_system_ns_ = SystemTimeAtLineZero(origin_);
};

}  // namespace qorval::host
