#include "analyser/replay.h"

#include <algorithm>

#include "analyser/pcapng_reader.h"
#include "analyser/pcapng_writer.h"
#include "platform/regular_file.h"

namespace qorval::analyser {
namespace {

constexpr const char* kNoFrames =
    "it holds no frame that arrived on an SDLC link (link type 268) to replay";

}  // namespace

std::variant<ReplayPlan, std::string> ReadReplayPlan(std::FILE* file) {
    PcapngReader reader(file);
    ReplayPlan plan;
    bool haveFirst = false;
    uint64_t firstNs = 0;
    uint64_t lastDueNs = 0;
    while (auto packet = reader.Next()) {
        const CaptureInterface& capturedOn = reader.Interfaces()[packet->interfaceId];
        if (capturedOn.linkType != PcapngWriter::kLinkTypeSdlc) {
            ++plan.skippedOtherLinks;
            continue;
        }
        if (packet->direction == PacketDirection::Outbound) {
            ++plan.skippedSent;
            continue;
        }
        if (packet->bytes.empty() || packet->originalLength > packet->bytes.size()) {
            ++plan.skippedUnusable;
            continue;
        }
        uint64_t dueNs = lastDueNs;
        if (packet->hasTime) {
            if (!haveFirst) {
                haveFirst = true;
                firstNs = packet->timeNs;
            }
            // Never before the frame ahead of it: the line keeps the file's order.
            dueNs = std::max(lastDueNs, packet->timeNs > firstNs ? packet->timeNs - firstNs : 0);
        }
        lastDueNs = dueNs;
        plan.frames.push_back({std::move(packet->bytes), dueNs});
    }
    if (!reader.Error().empty()) {
        return reader.Error();
    }
    if (plan.frames.empty()) {
        return std::string(kNoFrames);
    }
    return plan;
}

std::variant<ReplayPlan, std::string> LoadReplayPlan(const std::filesystem::path& path) {
    // A FIFO or a device at the name is refused, never opened: the replay would block on it.
    std::string problem;
    std::FILE* file = platform::OpenRegularStream(path, platform::FileUse::Read, &problem);
    if (file == nullptr) {
        return std::string("it cannot be opened");
    }
    auto plan = ReadReplayPlan(file);
    std::fclose(file);
    return plan;
}

ReplaySession::ReplaySession(QORVAL_HANDLE handle, ReplayPlan plan, ReplayTiming timing,
                             std::function<uint64_t()> clockNs)
    : handle_(handle), plan_(std::move(plan)), timing_(timing), clockNs_(std::move(clockNs)) {}

ReplaySession::Step ReplaySession::Run() {
    Step step;
    uint64_t now = clockNs_();
    if (!started_) {
        started_ = true;
        startNs_ = now;
    }
    while (sent_ < plan_.frames.size()) {
        const ReplayFrame& frame = plan_.frames[sent_];
        const uint64_t due = timing_ == ReplayTiming::Original ? startNs_ + frame.dueNs : now;
        if (due > now) {
            step.nextNs = due;
            return step;
        }
        const uint32_t result = QORVAL_PutData(handle_, frame.bytes.data(),
                                               static_cast<uint32_t>(frame.bytes.size()));
        if (result == QORVAL_NO_TX_BUFFER) {
            step.nextNs = now + kBufferPollNs;  // the line has not taken the frames ahead yet
            return step;
        }
        if (result != QORVAL_OK) {
            step.finished = true;
            step.failure = result;
            return step;
        }
        now = clockNs_();
        if (timing_ == ReplayTiming::Original) {
            largestLatenessNs_ = std::max(largestLatenessNs_, now > due ? now - due : 0);
        }
        ++sent_;
    }
    step.finished = true;
    step.nextNs = now;
    return step;
}

}  // namespace qorval::analyser
