#include "analyser/capture_decoding.h"

#include <algorithm>
#include <cstring>

#include "analyser/decoded_line.h"

namespace qorval::analyser {

std::optional<FilterError> CaptureDecoding::SetFilter(std::string_view expression) {
    auto parsed = FrameFilter::Parse(expression);
    if (auto* error = std::get_if<FilterError>(&parsed)) {
        return *error;
    }
    filter_ = std::get<FrameFilter>(std::move(parsed));
    return std::nullopt;
}

void CaptureDecoding::Start(uint64_t nowNs) {
    startNs_ = nowNs;
    portFrames_ = 0;
    pending_ = Pending::None;
    haveCurrent_ = false;
    statistics_.Start(nowNs);
}

void CaptureDecoding::Describe(Judged& judged, std::span<const uint8_t> bytes, bool sent,
                               uint32_t result) {
    judged.decoded = decode::DecodeFrame(link_, bytes);
    judged.link = link_;
    judged.facts = FrameFacts{};
    judged.facts.length = static_cast<uint32_t>(bytes.size());
    judged.facts.sent = sent;
    judged.facts.result = result;
    judged.facts.decoded = &judged.decoded;
    judged.headLength = std::min(bytes.size(), judged.head.size());
    if (judged.headLength != 0) {
        std::memcpy(judged.head.data(), bytes.data(), judged.headLength);
    }
    judged.text.clear();
}

void CaptureDecoding::OnPortFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result,
                                  uint64_t timeNs) {
    Judged& judged = judged_[candidate_];
    Describe(judged, bytes, sent, result);
    judged.facts.number = ++portFrames_;
    judged.timeNs = timeNs;
    statistics_.Add(judged.facts, timeNs);
    pending_ = Pending::PortFrame;
}

void CaptureDecoding::OnSendFailed() {
    pending_ = Pending::SendFailed;
}

bool CaptureDecoding::Show(std::span<const uint8_t> shown, bool sent) {
    Judged& judged = judged_[candidate_];
    switch (pending_) {
        case Pending::PortFrame:
            break;
        case Pending::SendFailed:
            judged.decoded = decode::DecodedFrame{};
            judged.facts = FrameFacts{.length = static_cast<uint32_t>(shown.size()),
                                      .sent = sent,
                                      .sendFailed = true};
            judged.headLength = 0;
            judged.text.assign(reinterpret_cast<const char*>(shown.data()), shown.size());
            break;
        case Pending::None:
            Describe(judged, shown, sent, 0);
            break;
    }
    const bool fromPort = pending_ == Pending::PortFrame;
    pending_ = Pending::None;
    if (!filter_.Matches(judged.facts)) {
        return false;
    }
    if (fromPort && sink_ != nullptr) {
        sink_->OnDecodedFrame(judged.facts, judged.timeNs, startNs_);
    }
    haveCurrent_ = true;
    candidate_ ^= 1;
    return true;
}

std::string CaptureDecoding::CurrentLine(uint32_t frameCount) const {
    if (!haveCurrent_) {
        return {};
    }
    const Judged& current = judged_[candidate_ ^ 1];
    if (current.facts.sendFailed) {
        return DecodedTextLine(current.text, current.facts.sent, frameCount);
    }
    return DecodedFrameLine(current.facts, current.link, {current.head.data(), current.headLength},
                            frameCount);
}

}  // namespace qorval::analyser
