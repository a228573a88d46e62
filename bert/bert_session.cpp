#include "bert/bert_session.h"

#include <cstdio>
#include <utility>

#include "bert/bert_texts.h"
#include "bert/pattern.h"
#include "bert/workers.h"
#include "portaccess/tick_count.h"

namespace qorval::bert {
namespace {

constexpr uint32_t kNoDataAfterTicks = 10;
constexpr uint32_t kRateEveryTicks = 30;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string Count(const std::atomic<uint32_t>& c) {
    return std::to_string(c.load(std::memory_order_relaxed));
}

std::string Rate(double bits, double seconds) {
    const double rate = seconds > 0 ? bits / seconds : 0;
    return Format(text::kRateFormat, rate < 0 ? 0.0 : rate);
}

std::string_view StatusText(SyncState state) {
    switch (state) {
        case SyncState::kSearching:
            return text::kSearching;
        case SyncState::kInSync:
            return text::kInSync;
        case SyncState::kOutOfSync:
            break;
    }
    return text::kOutOfSync;
}

}  // namespace

BertSession::BertSession(std::filesystem::path diskDirectory)
    : diskDirectory_(std::move(diskDirectory)) {}

BertSession::~BertSession() {
    Shutdown();
}

std::string_view BertSession::PortButtonCaption() const {
    return IsPortOpen() ? text::kClose : text::kOpen;
}

std::string_view BertSession::TransmitButtonCaption() const {
    return transmitting_ ? text::kStop : text::kStart;
}

uint32_t BertSession::OpenPort() {
    if (const uint32_t result = port_.Open(); result != QORVAL_OK) {
        return result;
    }
    portLoss_.store(PortLoss::kNone, std::memory_order_relaxed);
    portLossMessage_.reset();
    ReadPortFigures();
    StartReceive();
    startEnabled_ = !RepeatMode();
    stateEnabled_ = true;
    diskEnabled_ = true;
    statsStartMs_ = GetTickCount();
    return QORVAL_OK;
}

void BertSession::ReadPortFigures() {
    // A port that cannot report its state keeps the data bits last read (8 at first).
    if (PortState state{}; port_.GetPortState(state) == QORVAL_OK) {
        dataBits_ = state.dataBits;
    }
    if (PortInfo info{}; port_.GetPortInfo(info) == QORVAL_OK) {
        display_.txBufferRange = info.txBuffers;
        display_.rxBufferRange = info.rxBuffers;
    }
}

void BertSession::StartReceive() {
    receive_.Start([this] {
        ReceiveWorker(
            {&port_, &receive_.Running(), &repeatMode_, &counters_, &checker_, &portLoss_});
    });
}

void BertSession::StartTransmit() {
    transmit_.Start([this] {
        TransmitWorker({&port_, &transmit_.Running(), &counters_.txFrames, &portLoss_});
    });
}

void BertSession::StartDisk() {
    disk_.Start([this] {
        DiskLoadWorker({&disk_.Running(), diskDirectory_, [this](const std::string& problem) {
                            std::lock_guard lock(diskProblemLock_);
                            diskProblem_ = problem;
                        }});
    });
}

std::string BertSession::TakeDiskProblem() {
    std::lock_guard lock(diskProblemLock_);
    return std::exchange(diskProblem_, {});
}

void BertSession::StopAll() {
    // All flags first, so that the workers wind down together.
    transmit_.ClearFlag();
    receive_.ClearFlag();
    disk_.ClearFlag();
    transmit_.Stop();
    receive_.Stop();
    disk_.Stop();
}

void BertSession::ClosePort() {
    diskChecked_ = false;
    StopAll();
    transmitting_ = false;
    startEnabled_ = stateEnabled_ = diskEnabled_ = false;
    display_.status = text::kNoData;
    display_.txBufferBar = display_.rxBufferBar = 0;
    // Last, so that whatever the runner lets happen meanwhile sees a closed port throughout.
    port_.Close(closeRunner_);
}

void BertSession::ClosePortLost(PortLoss loss) {
    // As "Close": every worker stopped (those that found the loss have ended already) and the
    // port's dead handle given back, so that "Open ..." can open a port again once the host
    // or the port is back. The counters keep what the test had reached.
    const uint16_t number = port_.GetPortNumber();
    ClosePort();
    portLossMessage_ = PortLossMessage(loss, number);
}

std::optional<std::string> BertSession::TakePortLossMessage() {
    return std::exchange(portLossMessage_, std::nullopt);
}

std::optional<std::string_view> BertSession::StartStop() {
    if (!IsPortOpen()) {
        return text::kPortNotOpen;
    }
    if (transmitting_) {
        transmitting_ = false;
        transmit_.Stop();
    } else if (!RepeatMode()) {  // Start is disabled in repeat mode
        transmitting_ = true;
        StartTransmit();
    }
    return std::nullopt;
}

void BertSession::RunPortStateDialog(const std::function<void(Qorval_Port&)>& dialog) {
    StopAll();
    dialog(port_);
    if (!IsPortOpen()) {
        return;
    }
    ReadPortFigures();
    StartReceive();
    if (transmitting_) {
        StartTransmit();
    }
    if (diskChecked_) {
        StartDisk();
    }
}

void BertSession::ResetStats() {
    counters_.ResetStatistics();
    ShowCounters();
}

void BertSession::SetRepeatMode(bool on) {
    repeatMode_.store(on ? 1 : 0, std::memory_order_relaxed);
    if (on) {
        startEnabled_ = false;
        if (transmit_.Exists()) {
            transmit_.Stop();
        }
        transmitting_ = false;
    } else {
        startEnabled_ = IsPortOpen();
    }
}

void BertSession::SetDiskThread(bool on) {
    diskChecked_ = on;
    if (on) {
        StartDisk();
    } else {
        disk_.Stop();
    }
}

void BertSession::Shutdown() {
    StopAll();
    if (IsPortOpen()) {
        port_.Close(closeRunner_);
    }
}

void BertSession::ShowCounters() {
    display_.txFrames = Count(counters_.txFrames);
    display_.rxFrames = Count(counters_.rxFrames);
    display_.bytesChecked = Count(counters_.bytesChecked);
    display_.bitErrors = Count(counters_.bitErrors);
    display_.overrunErrors = Count(counters_.overrunErrors);
    display_.crcErrors = Count(counters_.crcErrors);
    display_.lineErrors = Count(counters_.lineErrors);
    display_.otherErrors = Count(counters_.otherErrors);
    display_.syncLosses = Count(counters_.syncLosses);
}

void BertSession::Tick() {
    if (!IsPortOpen()) {
        return;
    }
    if (const PortLoss loss = portLoss_.load(std::memory_order_relaxed); loss != PortLoss::kNone) {
        ClosePortLost(loss);
        return;
    }
    const uint32_t elapsedMs = GetTickCount() - statsStartMs_;
    const unsigned s = elapsedMs / 1000;
    display_.testTime = Format(text::kTestTimeFormat, s / 3600, (s / 60) % 60, s % 60);
    ShowCounters();

    display_.status = StatusText(counters_.syncState.load(std::memory_order_relaxed));
    if (counters_.noDataTicks.load(std::memory_order_relaxed) > kNoDataAfterTicks) {
        display_.status = text::kNoData;
    } else {
        counters_.noDataTicks.fetch_add(1, std::memory_order_relaxed);
    }

    rateTick_ = (rateTick_ + 1) % kRateEveryTicks;
    if (rateTick_ == 0) {
        ComputeRates(elapsedMs);
    }

    const uint16_t txFree = port_.TxBuffersFree();
    const uint16_t rxWaiting = port_.FramesWaiting();
    display_.txBuffers = Format(text::kBufferFormat, static_cast<int>(txFree));
    display_.rxBuffers = Format(text::kBufferFormat, static_cast<int>(rxWaiting));
    display_.txBufferBar = txFree;
    display_.rxBufferBar = rxWaiting;
}

void BertSession::ComputeRates(uint32_t elapsedMs) {
    const double now = elapsedMs * 0.001;
    const double tx = counters_.txFrames.load(std::memory_order_relaxed);
    const double checked = counters_.bytesChecked.load(std::memory_order_relaxed);
    // The previous time belongs to the statistics clock of an earlier opening when the port was
    // opened again (and is 0 at the first computation); the interval then runs from the start
    // of this opening. A zero interval shows rates of 0 instead of dividing by it.
    double interval = now - prevSeconds_;
    if (interval <= 0) {
        interval = now;
    }
    display_.txRate = Rate((tx - prevTxFrames_) * dataBits_ * kFrameSize, interval);
    display_.rxRate = Rate((checked - prevBytesChecked_) * dataBits_, interval);
    prevTxFrames_ = tx;
    prevBytesChecked_ = checked;
    prevSeconds_ = now;
}

}  // namespace qorval::bert
