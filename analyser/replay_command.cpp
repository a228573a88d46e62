// The Replay Capture command: the frames that arrived in a capture file go back onto the
// selected port, one step at a time from the front end's loop.
#include <chrono>

#include "analyser/analyser_app.h"
#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr const char* kCannotReplay = "Cannot replay %s:\n%s.";
constexpr const char* kReplaySendFailed = "Could not send frame %u of the capture!\nStatus = %08lX";
constexpr const char* kReplayStarted = "Replaying %u frames from %s.";
constexpr const char* kReplayFinished = "Replay finished: %u frames sent.";
constexpr const char* kReplayFinishedLate =
    "Replay finished: %u frames sent, the latest %.3f ms after its time.";
constexpr const char* kReplayStopped = "Replay stopped after %u of %u frames.";

uint64_t SteadyClockNs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

bool CAnalyserApp::StartReplay(const std::string& path, ReplayTiming timing) {
    if (!CheckPortSelected()) {
        return false;
    }
    StopReplay();
    auto loaded = LoadReplayPlan(path);
    if (const auto* why = std::get_if<std::string>(&loaded)) {
        ShowMessage(StringPrintf(kCannotReplay, path.c_str(), why->c_str()));
        return false;
    }
    auto& plan = std::get<ReplayPlan>(loaded);
    const auto frames = static_cast<unsigned>(plan.frames.size());
    replay_ = std::make_unique<ReplaySession>(portHandle_, std::move(plan), timing,
                                              [this] { return ReplayNowNs(); });
    replayFailed_ = false;
    ui_.ShowStatus(StringPrintf(kReplayStarted, frames, path.c_str()));
    return true;
}

std::optional<uint64_t> CAnalyserApp::ReplayStep() {
    if (!replay_) {
        return std::nullopt;
    }
    const ReplaySession::Step step = replay_->Run();
    if (!step.finished) {
        return step.nextNs;
    }
    const auto sent = static_cast<unsigned>(replay_->Sent());
    if (step.failure != QORVAL_OK) {
        replayFailed_ = true;
        ShowMessage(
            StringPrintf(kReplaySendFailed, sent + 1, static_cast<unsigned long>(step.failure)));
        ui_.ShowStatus(StringPrintf(kReplayStopped, sent, static_cast<unsigned>(replay_->Total())));
    } else if (replay_->LargestLatenessNs() != 0) {
        ui_.ShowStatus(StringPrintf(kReplayFinishedLate, sent,
                                    static_cast<double>(replay_->LargestLatenessNs()) / 1e6));
    } else {
        ui_.ShowStatus(StringPrintf(kReplayFinished, sent));
    }
    replay_.reset();
    return std::nullopt;
}

uint64_t CAnalyserApp::ReplayNowNs() const {
    return replayClock_ ? replayClock_() : SteadyClockNs();
}

void CAnalyserApp::StopReplay() {
    if (!replay_) {
        return;
    }
    ui_.ShowStatus(StringPrintf(kReplayStopped, static_cast<unsigned>(replay_->Sent()),
                                static_cast<unsigned>(replay_->Total())));
    replay_.reset();
}

}  // namespace qorval::analyser
