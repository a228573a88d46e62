#include "portaccess/fake/fake_library.h"

#include <algorithm>
#include <utility>

#include "portaccess/fake/fake_state.h"
#include "portaccess/tick_count.h"

namespace qorval::fake {
namespace {

uint32_t VirtualTicks() {
    return FakeLibrary::Instance().NowMs();
}

}  // namespace

std::optional<uint32_t> FakeState::Enter(std::string_view function, std::string args) {
    if (callLog.size() == kLogLimit) {
        callLog.pop_front();
    }
    callLog.push_back(std::string(function) + "(" + args + ")");
    nowMs.fetch_add(autoAdvanceMs, std::memory_order_relaxed);
    auto it = failNext.find(function);
    if (it == failNext.end()) {
        return std::nullopt;
    }
    uint32_t result = it->second;
    failNext.erase(it);
    return result;
}

FakePort* FakeState::ByHandle(QORVAL_HANDLE handle) {
    auto it = handles.find(handle);
    return it == handles.end() ? nullptr : ByKey(it->second);
}

FakePort* FakeState::ByKey(PortKey key) {
    auto it = ports.find(key);
    return it == ports.end() ? nullptr : &it->second;
}

void FakeState::Arrive(FakePort& port) {
    uint32_t now = nowMs.load(std::memory_order_relaxed);
    while (!port.scheduled.empty() && port.scheduled.front().at_ms <= now) {
        Receive(port, std::move(port.scheduled.front()));
        port.scheduled.pop_front();
    }
}

void FakeState::Receive(FakePort& port, FakeFrame frame) {
    port.state.rxFrames++;
    if (frame.result == QORVAL_CRC_ERROR) {
        port.state.crcErrors++;
    } else if (frame.result == QORVAL_OVERRUN) {
        port.state.overruns++;
    }
    port.waiting.push_back(std::move(frame));
}

void FakeState::Reset() {
    ports.clear();
    handles.clear();
    nextHandle = 1;
    nowMs.store(0, std::memory_order_relaxed);
    autoAdvanceMs = 0;
    failNext.clear();
    reportedDriverCount.reset();
    hostGone = false;
    deadHandles.clear();
    closeWait = nullptr;
    callLog.clear();
}

FakeLibrary::FakeLibrary() : state_(std::make_unique<FakeState>()) {}

FakeLibrary& FakeLibrary::Instance() {
    static FakeLibrary instance;
    return instance;
}

void FakeLibrary::Reset() {
    {
        std::lock_guard lock(state_->mutex);
        state_->Reset();
    }
    SetTickSource(&VirtualTicks);
}

void FakeLibrary::AddPort(const FakePortSpec& port_spec) {
    std::lock_guard lock(state_->mutex);
    PortKey key{port_spec.driver_type, port_spec.port};
    if (FakePort* old = state_->ByKey(key); old != nullptr && old->handle != 0) {
        state_->handles.erase(old->handle);
    }
    FakePort port;
    port.port_spec = port_spec;
    port.state.clockMultiplier = 1;
    port.state.dataBits = 8;
    state_->ports[key] = std::move(port);
}

void FakeLibrary::ConnectPair(uint16_t driver, uint16_t port_a, uint16_t port_b) {
    std::lock_guard lock(state_->mutex);
    FakePort* a = state_->ByKey({driver, port_a});
    FakePort* b = state_->ByKey({driver, port_b});
    if (a == nullptr || b == nullptr) {
        return;
    }
    a->peer = PortKey{driver, port_b};
    b->peer = PortKey{driver, port_a};
}

void FakeLibrary::QueueFrame(uint16_t driver, uint16_t port, std::vector<uint8_t> bytes,
                             uint32_t at_ms, uint32_t result) {
    std::lock_guard lock(state_->mutex);
    FakePort* p = state_->ByKey({driver, port});
    if (p == nullptr) {
        return;
    }
    auto later = std::upper_bound(p->scheduled.begin(), p->scheduled.end(), at_ms,
                                  [](uint32_t t, const FakeFrame& f) { return t < f.at_ms; });
    p->scheduled.insert(later, FakeFrame{std::move(bytes), at_ms, result});
}

std::vector<SentFrame> FakeLibrary::TakeSentFrames(uint16_t driver, uint16_t port) {
    std::lock_guard lock(state_->mutex);
    FakePort* p = state_->ByKey({driver, port});
    if (p == nullptr) {
        return {};
    }
    return std::exchange(p->sent, {});
}

uint32_t FakeLibrary::DroppedFrames(uint16_t driver, uint16_t port) const {
    std::lock_guard lock(state_->mutex);
    FakePort* p = state_->ByKey({driver, port});
    return p == nullptr ? 0 : p->dropped;
}

void FakeLibrary::FailNext(std::string_view function, uint32_t result) {
    std::lock_guard lock(state_->mutex);
    state_->failNext[std::string(function)] = result;
}

void FakeLibrary::SetTxBuffersFree(uint16_t driver, uint16_t port, std::optional<uint16_t> count) {
    std::lock_guard lock(state_->mutex);
    if (FakePort* p = state_->ByKey({driver, port}); p != nullptr) {
        p->txFreeForced = count;
    }
}

void FakeLibrary::SetReportedDriverCount(std::optional<uint16_t> count) {
    std::lock_guard lock(state_->mutex);
    state_->reportedDriverCount = count;
}

void FakeLibrary::SetModemInputs(uint16_t driver, uint16_t port, uint16_t bits) {
    std::lock_guard lock(state_->mutex);
    if (FakePort* p = state_->ByKey({driver, port}); p != nullptr) {
        p->modemInputs =
            bits & (QORVAL_MODEM_DSR | QORVAL_MODEM_DCD | QORVAL_MODEM_CTS | QORVAL_MODEM_RI);
    }
}

void FakeLibrary::SetPortInfo(uint16_t driver, uint16_t port, const PortInfo& info) {
    std::lock_guard lock(state_->mutex);
    if (FakePort* p = state_->ByKey({driver, port}); p != nullptr) {
        p->info = info;
    }
}

void FakeLibrary::SetCloseWait(std::function<void()> wait) {
    std::lock_guard lock(state_->mutex);
    state_->closeWait = std::move(wait);
}

void FakeLibrary::KillHost() {
    std::lock_guard lock(state_->mutex);
    state_->hostGone = true;
    for (auto& [key, port] : state_->ports) {
        if (port.handle != 0) {
            state_->deadHandles.insert(port.handle);
            state_->handles.erase(port.handle);
            port.handle = 0;
            port.modemOutputs = 0;
        }
    }
}

void FakeLibrary::RestartHost() {
    std::lock_guard lock(state_->mutex);
    state_->hostGone = false;
}

void FakeLibrary::RemovePort(uint16_t driver, uint16_t port) {
    std::lock_guard lock(state_->mutex);
    if (FakePort* p = state_->ByKey({driver, port}); p != nullptr) {
        p->removed = true;
    }
}

void FakeLibrary::SetPortState(uint16_t driver, uint16_t port, const PortState& state) {
    std::lock_guard lock(state_->mutex);
    if (FakePort* p = state_->ByKey({driver, port}); p != nullptr) {
        p->state = state;
    }
}

std::optional<PortState> FakeLibrary::LastPortStateWritten(uint16_t driver, uint16_t port) const {
    std::lock_guard lock(state_->mutex);
    FakePort* p = state_->ByKey({driver, port});
    return p == nullptr ? std::nullopt : p->lastWritten;
}

uint32_t FakeLibrary::NowMs() const {
    return state_->nowMs.load(std::memory_order_relaxed);
}

void FakeLibrary::AdvanceMs(uint32_t ms) {
    state_->nowMs.fetch_add(ms, std::memory_order_relaxed);
}

void FakeLibrary::SetAutoAdvanceMs(uint32_t ms_per_call) {
    std::lock_guard lock(state_->mutex);
    state_->autoAdvanceMs = ms_per_call;
}

std::vector<std::string> FakeLibrary::CallLog() const {
    std::lock_guard lock(state_->mutex);
    return {state_->callLog.begin(), state_->callLog.end()};
}

void FakeLibrary::ClearCallLog() {
    std::lock_guard lock(state_->mutex);
    state_->callLog.clear();
}

}  // namespace qorval::fake
