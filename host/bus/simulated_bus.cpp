#include "host/bus/simulated_bus.h"

#include <algorithm>
#include <cstdio>

#include "host/bus/stream_token.h"
#include "kernel/device_object.h"
#include "kernel/dispatch_scope.h"
#include "kernel/frame_arrival.h"

namespace qorval::host {

namespace {

// Where the simulated functions live. Slot s is PCI device s on bus 0. Its first I/O range
// and first memory range stand for the card's PCI bridge registers, which the driver skips;
// the board registers, the IUSC window and the card-memory window follow in the order the
// driver expects. Card-memory windows are 16 KB apart so each card's window select
// (address bits 18-14) differs.
constexpr uint64_t kBridgePorts = 0xE000;
constexpr uint64_t kBoardPorts = 0x1000;
constexpr uint64_t kBridgeMemory = 0xFE000000;
constexpr uint64_t kIuscWindows = 0xFE008000;
constexpr uint64_t kCardWindows = 0xFD000000;
constexpr uint32_t kFirstLevel = 16;
constexpr uint32_t kFirstVector = 0x50;

// "\Device\Wyvel32_00<n-1>" → n; 0 for other names.
unsigned PortFromDeviceName(const std::string& name) {
    static constexpr std::string_view kPrefix = "\\Device\\Wyvel32_00";
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) {
        return 0;
    }
    unsigned index = 0;
    for (size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || index > 100) {
            return 0;
        }
        index = index * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return index + 1;
}

std::string NoSuchPort(unsigned port) {
    return "no device has port " + std::to_string(port);
}

}  // namespace

SimulatedBus::SimulatedBus(kernel::IoManager& kernel, BusOptions options,
                           std::function<void()> links_changed)
    : kernel_(kernel), options_(options), links_changed_(std::move(links_changed)) {
    clock_.SetAfterSteps([this] { kernel_.RunQueuedDpcs(); });
}

SimulatedBus::~SimulatedBus() {
    Shutdown();
}

std::string SimulatedBus::Checked(kernel::NTSTATUS status, const char* what) {
    if (status == wyvel32::STATUS_SUCCESS) {
        return {};
    }
    char text[96];
    std::snprintf(text, sizeof(text), "%s failed with status 0x%08X", what, status);
    return text;
}

std::function<void()> SimulatedBus::DeliveryOf(const Function& function) {
    const uint32_t vector = kFirstVector + function.slot;
    // Only the service routine runs inside the step; its DPCs run after the card clock has
    // let go of every card lock (SetAfterSteps), so a DPC that waits for a lock held by a
    // thread that waits for the card cannot deadlock.
    return [this, vector] { kernel_.RaiseInterrupt(vector); };
}

kernel::PhysicalDeviceInfo SimulatedBus::DescribeFunction(Function& function) const {
    using kernel::ResourceDescriptor;
    const unsigned s = function.slot;
    kernel::PhysicalDeviceInfo info;
    info.BusNumber = 0;
    info.DeviceNumber = s;
    info.FunctionNumber = 0;
    kernel::ResourceList resources{
        ResourceDescriptor::PortRange(kBridgePorts + 0x100ull * s, 0x80),
        ResourceDescriptor::PortRange(kBoardPorts + 0x10ull * s, 8),
        ResourceDescriptor::MemoryRange(kBridgeMemory + 0x10000ull * s, 0x80),
        ResourceDescriptor::MemoryRange(kIuscWindows + 0x10000ull * s, 256),
        ResourceDescriptor::MemoryRange(kCardWindows + 0x4000ull * s, 0x4000),
    };
    kernel::ResourceList raw = resources;
    raw.push_back(ResourceDescriptor::Interrupt(kFirstLevel + s, kFirstVector + s, 1));
    kernel::ResourceList translated = resources;
    translated.push_back(ResourceDescriptor::Interrupt(kFirstLevel + s, kFirstVector + s, 1));
    info.RawResources = std::move(raw);
    info.TranslatedResources = std::move(translated);
    info.Hardware = function.hardware.get();
    info.InterruptLock = function.lock.get();
    return info;
}

void SimulatedBus::CardChanged() {
    if (!kernel::DispatchScope::PutOff(this, [this] { clock_.StepNow(); })) {
        clock_.Wake();
    }
}

void SimulatedBus::CardEntered() {
    (void)kernel::DispatchScope::PutOff(&clock_, [this] { clock_.StepIfDue(); });
}

std::string SimulatedBus::StartRefusal() const {
    return options_.start_refusal ? options_.start_refusal() : std::string();
}

std::string SimulatedBus::AddFunction(unsigned* slot_out) {
    auto function = std::make_unique<Function>();
    function->slot = next_slot_++;
    function->card = std::make_unique<sim::SimCard>();
    function->lock = std::make_unique<CardLock>(
        *function->card, [this] { CardChanged(); }, [this] { CardEntered(); });
    function->hardware = std::make_unique<LockedCard>(*function->card, *function->lock);
    // The card raises its interrupt from inside a step of the card clock, which holds the
    // card's lock; the service routine runs right there, between the events that caused it.
    function->card->SetInterruptHandler(DeliveryOf(*function));
    // A frame the driver starts on an idle line starts now, and a frame the driver takes
    // carries the moment it arrived to the read's completion (kernel/frame_arrival.h).
    function->card->SetPresentTime([origin = origin_] { return LineTimeNow(origin); });
    function->card->SetFrameTakenHandler([system = origin_system_ns_](uint64_t arrival_ns) {
        kernel::frame_arrival::Note(system + arrival_ns);
    });
    Function& added = *function;
    functions_.emplace(added.slot, std::move(function));
    *slot_out = added.slot;
    ReplaceLinesOf({added.slot});
    std::string failure =
        Checked(kernel_.AddPhysicalDevice(DescribeFunction(added), &added.id), "add device");
    if (failure.empty() && PortOf(added) == 0) {
        // The driver's add-device succeeds without a device once 32 ports exist.
        failure = "no port number is free: the driver serves at most 32 ports";
    }
    // A disabled driver's device arrives (it has its port number) but is not started.
    if (failure.empty() && StartRefusal().empty()) {
        failure = Checked(kernel_.StartDevice(added.id), "start");
    }
    links_changed_();
    return failure;
}

std::string SimulatedBus::Boot() {
    std::string failures;
    {
        std::lock_guard guard(lock_);
        clock_.Start();
        for (unsigned i = 0; i < options_.ports; ++i) {
            unsigned slot = 0;
            const std::string failure = AddFunction(&slot);
            if (!failure.empty()) {
                failures += "slot " + std::to_string(slot) + ": " + failure + "\n";
            }
        }
        for (auto& [slot, function] : functions_) {
            Wiring& wiring = wiring_[slot];
            wiring.bit_error_rate = options_.bit_error_rate;
            wiring.drop_rate = options_.drop_rate;
            if (options_.wiring == WireKind::Pair) {
                const unsigned peer = slot % 2 == 1 ? slot + 1 : slot - 1;
                wiring.kind = functions_.count(peer) ? WireKind::Pair : WireKind::Open;
                wiring.peer_slot = peer;
            } else {
                wiring.kind = options_.wiring;
            }
        }
        std::set<unsigned> every;
        for (const auto& [slot, function] : functions_) {
            every.insert(slot);
        }
        ReplaceLinesOf(every);
    }
    return failures;
}

void SimulatedBus::Shutdown() {
    std::lock_guard guard(lock_);
    while (!functions_.empty()) {
        RemoveFunction(functions_.begin()->first);
    }
    clock_.Stop();
}

void SimulatedBus::RemoveFunction(unsigned slot) {
    Function& function = *functions_.at(slot);
    if (function.id != 0) {
        (void)kernel_.RemoveDevice(function.id);
    }
    // Its peer is left open. A line refers to its cards and its byte stream: it goes first,
    // and only the lines of this card and its peer change.
    for (auto& [other, wiring] : wiring_) {
        if (other != slot && wiring.kind == WireKind::Pair && wiring.peer_slot == slot) {
            wiring.kind = WireKind::Open;
        }
    }
    ReplaceLinesOf({slot}, slot);
    streams_.erase(slot);
    functions_.erase(slot);
    wiring_.erase(slot);
    links_changed_();
}

std::set<unsigned> SimulatedBus::LineGroup(std::set<unsigned> slots) const {
    for (size_t before = 0; before != slots.size();) {
        before = slots.size();
        for (const WiredLine& wired : lines_) {
            if (std::any_of(wired.slots.begin(), wired.slots.end(),
                            [&](unsigned slot) { return slots.count(slot) != 0; })) {
                slots.insert(wired.slots.begin(), wired.slots.end());
            }
        }
        for (const unsigned slot : std::set<unsigned>(slots)) {
            const auto wiring = wiring_.find(slot);
            if (wiring != wiring_.end() && wiring->second.kind == WireKind::Pair &&
                functions_.count(wiring->second.peer_slot) != 0) {
                slots.insert(wiring->second.peer_slot);
            }
        }
    }
    return slots;
}

std::vector<std::unique_lock<CardLock>> SimulatedBus::LockCards(const std::set<unsigned>& group) {
    // In address order, as the card clock takes them.
    std::vector<CardLock*> locks;
    for (const unsigned slot : group) {
        if (const auto function = functions_.find(slot); function != functions_.end()) {
            locks.push_back(function->second->lock.get());
        }
    }
    std::sort(locks.begin(), locks.end());
    std::vector<std::unique_lock<CardLock>> held;
    for (CardLock* lock : locks) {
        held.emplace_back(*lock);
    }
    return held;
}

std::vector<CardClock::RunLine> SimulatedBus::Runs() const {
    std::vector<CardClock::RunLine> runs;
    for (const WiredLine& wired : lines_) {
        runs.push_back(wired.run);
    }
    return runs;
}

bool SimulatedBus::OnLine(unsigned slot) const {
    return std::any_of(lines_.begin(), lines_.end(), [slot](const WiredLine& wired) {
        return std::find(wired.slots.begin(), wired.slots.end(), slot) != wired.slots.end();
    });
}

void SimulatedBus::LetGoOfLines(const std::set<unsigned>& group) {
    // Lines install their handlers in the cards and a card calls them from inside any access
    // (the driver's close stops the transmitter, which hands the cut-off frame to the line),
    // so the clock and the byte streams let go of a line before it changes, and it is
    // destroyed only while its cards' locks are held.
    std::vector<CardClock::RunLine> kept;
    for (const WiredLine& wired : lines_) {
        if (group.count(wired.slots.front()) == 0) {
            kept.push_back(wired.run);
        }
    }
    clock_.SetLines(std::move(kept));
    for (const unsigned slot : group) {
        if (const auto stream = streams_.find(slot); stream != streams_.end()) {
            stream->second->AttachLine(nullptr);
        }
    }
}

void SimulatedBus::EraseLines(const std::set<unsigned>& group) {
    std::erase_if(lines_,
                  [&](const WiredLine& wired) { return group.count(wired.slots.front()) != 0; });
}

void SimulatedBus::ReplaceLinesOf(const std::set<unsigned>& slots, unsigned leaving) {
    const std::set<unsigned> group = LineGroup(slots);
    LetGoOfLines(group);
    {
        const auto held = LockCards(group);
        EraseLines(group);
        for (const unsigned slot : group) {
            if (slot != leaving) {
                PlaceLine(slot);
            }
        }
    }
    clock_.SetLines(Runs());
}

void SimulatedBus::DropLinesOf(const std::set<unsigned>& group) {
    LetGoOfLines(group);
    const auto held = LockCards(group);
    EraseLines(group);
}

void SimulatedBus::BuildLinesOf(const std::set<unsigned>& group) {
    {
        const auto held = LockCards(group);
        for (const unsigned slot : group) {
            PlaceLine(slot);
        }
    }
    clock_.SetLines(Runs());
}

std::unique_ptr<sim::Line> SimulatedBus::StreamLine(Function& function) {
    StreamWire* stream = streams_.at(function.slot).get();
    auto line = sim::Line::Bridge(*function.card, [stream](std::vector<uint8_t> frame) {
        stream->FromLine(std::move(frame));
    });
    stream->AttachLine(line.get());
    return line;
}

void SimulatedBus::PlaceLine(unsigned slot) {
    const auto found = functions_.find(slot);
    if (found == functions_.end() || OnLine(slot)) {
        return;
    }
    Function& function = *found->second;
    const Wiring wiring = wiring_.count(slot) ? wiring_[slot] : Wiring{};
    WiredLine wired;
    CardClock::RunLine& run = wired.run;
    if (wiring.kind == WireKind::Pair && functions_.count(wiring.peer_slot) &&
        !OnLine(wiring.peer_slot) && wiring.peer_slot != slot) {
        Function& peer = *functions_.at(wiring.peer_slot);
        wired.line = sim::Line::Pair(*function.card, *peer.card);
        wired.slots = {slot, peer.slot};
        run.cards = {function.card.get(), peer.card.get()};
        run.interrupts = {DeliveryOf(function), DeliveryOf(peer)};
        run.locks = {function.lock.get(), peer.lock.get()};
    } else {
        if (wiring.kind == WireKind::Stream && streams_.count(slot)) {
            wired.line = StreamLine(function);
        } else if (wiring.kind == WireKind::Loopback) {
            wired.line = sim::Line::Loopback(*function.card);
        } else {
            wired.line = sim::Line::Open(*function.card);
        }
        wired.slots = {slot};
        run.cards = {function.card.get()};
        run.interrupts = {DeliveryOf(function)};
        run.locks = {function.lock.get()};
    }
    std::sort(run.locks.begin(), run.locks.end());
    Configure(*wired.line, slot);
    run.line = wired.line.get();
    run.origin = origin_;
    lines_.push_back(std::move(wired));
}

unsigned SimulatedBus::PortOf(const Function& function) const {
    if (function.id == 0) {
        return 0;
    }
    const kernel::DeviceObject* device = kernel_.TopDevice(function.id);
    return device == nullptr ? 0 : PortFromDeviceName(device->Name);
}

SimulatedBus::Function* SimulatedBus::FunctionOfPort(unsigned port) {
    for (auto& [slot, function] : functions_) {
        if (PortOf(*function) == port) {
            return function.get();
        }
    }
    return nullptr;
}

sim::SimCard* SimulatedBus::CardOfPort(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    return function == nullptr ? nullptr : function->card.get();
}

std::vector<protocol::PortListing> SimulatedBus::List() {
    std::lock_guard guard(lock_);
    std::vector<protocol::PortListing> ports;
    const auto links = kernel_.SymbolicLinks();
    const bool disabled = !StartRefusal().empty();
    for (auto& [slot, function] : functions_) {
        const unsigned port = PortOf(*function);
        if (port == 0) {
            continue;
        }
        const std::string socket = protocol::DeviceSocketName(port);
        const bool linked = std::any_of(links.begin(), links.end(), [&](const auto& link) {
            return link.first.size() >= socket.size() &&
                   link.first.compare(link.first.size() - socket.size(), socket.size(), socket) ==
                       0;
        });
        ports.push_back({port,
                         !function->present ? "surprise-removed"
                         : linked           ? "started"
                         : disabled         ? std::string(protocol::kDisabledState)
                                            : "stopped",
                         socket});
    }
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    return ports;
}

std::string SimulatedBus::Add(unsigned* port_number) {
    std::lock_guard guard(lock_);
    unsigned slot = 0;
    const std::string failure = AddFunction(&slot);
    wiring_[slot].kind = WireKind::Open;
    *port_number = PortOf(*functions_.at(slot));
    if (*port_number == 0) {
        // A function the driver made no device for leaves again rather than stay on the bus
        // unserved.
        RemoveFunction(slot);
    }
    return failure;
}

std::string SimulatedBus::Start(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    if (std::string refusal = StartRefusal(); !refusal.empty()) {
        return refusal;
    }
    const std::string failure = Checked(kernel_.StartDevice(function->id), "start");
    links_changed_();
    return failure;
}

std::string SimulatedBus::Stop(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    std::string failure = Checked(kernel_.QueryStopDevice(function->id), "query stop");
    if (failure.empty()) {
        failure = Checked(kernel_.StopDevice(function->id), "stop");
    }
    links_changed_();
    return failure;
}

std::string SimulatedBus::SurpriseRemove(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    function->present = false;
    const std::string failure =
        Checked(kernel_.SurpriseRemoveDevice(function->id), "surprise removal");
    links_changed_();
    return failure;
}

std::string SimulatedBus::Remove(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    std::string failure;
    if (function->present) {
        failure = Checked(kernel_.QueryRemoveDevice(function->id), "query remove");
        if (!failure.empty()) {
            return failure;
        }
    }
    RemoveFunction(function->slot);
    return {};
}

std::string SimulatedBus::Power(unsigned port, PowerAction action) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    const auto state = action == PowerAction::Sleep ? kernel::SystemPowerState::Sleeping3
                                                    : kernel::SystemPowerState::Working;
    return Checked(kernel_.SendSystemPower(function->id, kernel::IRP_MN_SET_POWER, state),
                   "system power");
}

std::string SimulatedBus::Wire(WireKind kind, unsigned a, unsigned b) {
    std::lock_guard guard(lock_);
    Function* first = FunctionOfPort(a);
    Function* second = FunctionOfPort(b);
    if (first == nullptr || second == nullptr) {
        return NoSuchPort(first == nullptr ? a : b);
    }
    auto unpair = [this](unsigned slot) {
        Wiring& wiring = wiring_[slot];
        if (wiring.kind == WireKind::Pair && wiring_.count(wiring.peer_slot)) {
            wiring_[wiring.peer_slot].kind = WireKind::Open;
        }
        wiring.kind = WireKind::Open;
    };
    // The group of the ports' lines as they are now: their old peers are rewired too.
    const std::set<unsigned> group = LineGroup({first->slot, second->slot});
    unpair(first->slot);
    unpair(second->slot);
    // A byte stream that is no longer wired closes (its peer is disconnected).
    DropLinesOf(group);
    streams_.erase(first->slot);
    streams_.erase(second->slot);
    wiring_[first->slot].kind = kind;
    if (kind == WireKind::Pair) {
        wiring_[first->slot].peer_slot = second->slot;
        wiring_[second->slot].kind = WireKind::Pair;
        wiring_[second->slot].peer_slot = first->slot;
    }
    BuildLinesOf(group);
    return {};
}

std::string SimulatedBus::WireStream(unsigned port, const std::string& address,
                                     std::string* bound) {
    StreamAddress where;
    if (std::string problem = ParseStreamAddress(address, &where); !problem.empty()) {
        return problem;
    }
    // Checked before the port's present wiring goes: a refused address changes nothing.
    if (std::string problem = CheckStreamAddress(options_.stream_policy, &where);
        !problem.empty()) {
        return problem;
    }
    StreamWire::Settings settings;
    if (where.kind == StreamAddress::Kind::Tcp) {
        std::string problem;
        settings.token = LoadOrCreateStreamToken(options_.stream_token_file, &problem);
        if (settings.token.empty()) {
            return problem;
        }
    }
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr) {
        return NoSuchPort(port);
    }
    const std::set<unsigned> group = LineGroup({function->slot});
    Wiring& wiring = wiring_[function->slot];
    if (wiring.kind == WireKind::Pair && wiring_.count(wiring.peer_slot)) {
        wiring_[wiring.peer_slot].kind = WireKind::Open;
    }
    // A port wired again lets its old socket go first, so the same address can be bound.
    DropLinesOf(group);
    streams_.erase(function->slot);
    if (options_.largest_receive_frame) {
        settings.largest_frame = std::max<size_t>(options_.largest_receive_frame(port), 1);
    }
    sim::SimCard* card = function->card.get();
    CardLock* card_lock = function->lock.get();
    std::string error;
    auto stream = StreamWire::Create(
        where, settings,
        [card, card_lock] {
            std::lock_guard card_guard(*card_lock);
            return card->TransmitBitRate();
        },
        [this] { clock_.Wake(); }, &error);
    if (!stream) {
        wiring.kind = WireKind::Open;
        BuildLinesOf(group);
        return error;
    }
    if (bound != nullptr) {
        *bound = FormatStreamAddress(stream->address());
    }
    streams_[function->slot] = std::move(stream);
    wiring.kind = WireKind::Stream;
    BuildLinesOf(group);
    return {};
}

std::vector<StreamListing> SimulatedBus::Streams() {
    std::lock_guard guard(lock_);
    std::vector<StreamListing> streams;
    for (const auto& [slot, stream] : streams_) {
        const auto function = functions_.find(slot);
        if (function == functions_.end()) {
            continue;
        }
        const StreamWire::Statistics stats = stream->Stats();
        streams.push_back(
            {PortOf(*function->second), FormatStreamAddress(stream->address()), stats.peer});
    }
    std::sort(streams.begin(), streams.end(),
              [](const auto& a, const auto& b) { return a.port < b.port; });
    return streams;
}

std::optional<StreamWire::Statistics> SimulatedBus::StreamStatsOfPort(unsigned port) {
    std::lock_guard guard(lock_);
    Function* function = FunctionOfPort(port);
    if (function == nullptr || !streams_.count(function->slot)) {
        return std::nullopt;
    }
    return streams_.at(function->slot)->Stats();
}

std::string SimulatedBus::SetBitErrorRate(double probability, unsigned port) {
    std::lock_guard guard(lock_);
    for (auto& [slot, function] : functions_) {
        if (port == 0 || PortOf(*function) == port) {
            wiring_[slot].bit_error_rate = probability;
        }
    }
    ApplyLineSettings();
    return {};
}

std::string SimulatedBus::SetDropRate(double probability, unsigned port) {
    std::lock_guard guard(lock_);
    for (auto& [slot, function] : functions_) {
        if (port == 0 || PortOf(*function) == port) {
            wiring_[slot].drop_rate = probability;
        }
    }
    ApplyLineSettings();
    return {};
}

std::string SimulatedBus::SetLineRate(bool unlimited) {
    std::lock_guard guard(lock_);
    options_.unlimited_rate = unlimited;
    ApplyLineSettings();
    return {};
}

void SimulatedBus::ApplyLineSettings() {
    // Lines keep their frames in flight; the clock only pauses while they change.
    clock_.SetLines({});
    std::set<unsigned> every;
    for (const auto& [slot, function] : functions_) {
        every.insert(slot);
    }
    {
        const auto held = LockCards(every);
        for (WiredLine& wired : lines_) {
            Configure(*wired.line, wired.slots.front());
        }
    }
    clock_.SetLines(Runs());
}

void SimulatedBus::Configure(sim::Line& line, unsigned slot) {
    const Wiring wiring = wiring_.count(slot) ? wiring_.at(slot) : Wiring{};
    line.SetRate(options_.unlimited_rate ? sim::Line::Rate::Unlimited : sim::Line::Rate::FromClock);
    sim::Line::Impairments impairments;
    impairments.bit_error_rate = wiring.bit_error_rate;
    impairments.drop_rate = wiring.drop_rate;
    impairments.seed = slot;
    line.SetImpairments(impairments);
    if (auto stream = streams_.find(slot); stream != streams_.end()) {
        stream->second->SetPaced(!options_.unlimited_rate);
    }
}

}  // namespace qorval::host
