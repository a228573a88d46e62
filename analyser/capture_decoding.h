// What the analyser makes of the frames of a capture beyond their bytes: it decodes each by
// the capture's link protocol, numbers the frames taken from and put on the port, counts them
// in the statistics, and lets through to the display and the log only those the filter
// matches. The engine tells it of every frame as the frame leaves or reaches the port, then
// asks whether the frame it is about to show may be shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_facts.h"
#include "analyser/filter/frame_filter.h"
#include "analyser/statistics/capture_statistics.h"

namespace qorval::analyser {

// Receives each frame from the port that the filter lets through (the CSV export).
class DecodedFrameSink {
  public:
    virtual ~DecodedFrameSink() = default;
    // timeNs: when the frame arrived or was sent; startNs: when the capture started (both in
    // nanoseconds since 1970).
    virtual void OnDecodedFrame(const FrameFacts& facts, uint64_t timeNs, uint64_t startNs) = 0;
    virtual void Flush() {}
};

class CaptureDecoding {
  public:
    CaptureDecoding() = default;
    CaptureDecoding(const CaptureDecoding&) = delete;
    CaptureDecoding& operator=(const CaptureDecoding&) = delete;

    void SetLink(decode::LinkProtocol link) { link_ = link; }
    decode::LinkProtocol Link() const { return link_; }
    // Replaces the filter; on an error the filter stays as it was.
    std::optional<FilterError> SetFilter(std::string_view expression);
    const FrameFilter& Filter() const { return filter_; }
    void SetSink(DecodedFrameSink* sink) { sink_ = sink; }
    void FlushSink() {
        if (sink_ != nullptr) {
            sink_->Flush();
        }
    }

    // A capture starts: numbering and statistics begin again.
    void Start(uint64_t nowNs);
    // A frame was taken from the port or put on it (with the library's result), before any text
    // takes its place in the buffer.
    void OnPortFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result, uint64_t timeNs);
    // The analyser's text takes the place of a frame that could not be sent.
    void OnSendFailed();
    // The frame the display is about to show (`shown` is what the buffer holds now): true when
    // the filter lets it through, and it then becomes the current frame. A frame that was
    // neither taken nor sent (a block a macro holds back) is decoded from `shown`.
    bool Show(std::span<const uint8_t> shown, bool sent);
    // The decoded line of the current frame; empty when there is none.
    std::string CurrentLine(uint32_t frameCount) const;
    // Frames taken from or put on the port since the capture started.
    uint64_t PortFrames() const { return portFrames_; }
    StatisticsSnapshot Statistics(uint64_t nowNs) const { return statistics_.Snapshot(nowNs); }

  private:
    enum class Pending : uint8_t { None, PortFrame, SendFailed };
    // A frame with all that is known of it. Two of them take turns: the one being judged and
    // the current one, which a frame the filter refuses must not disturb.
    struct Judged {
        decode::DecodedFrame decoded;
        FrameFacts facts;
        std::array<uint8_t, 32> head{};
        size_t headLength = 0;
        uint64_t timeNs = 0;
        decode::LinkProtocol link = decode::LinkProtocol::Raw;  // the one it was decoded by
        std::string text;  // the analyser's text in the frame's place
    };
    void Describe(Judged& judged, std::span<const uint8_t> bytes, bool sent, uint32_t result);

    decode::LinkProtocol link_ = decode::LinkProtocol::Raw;
    FrameFilter filter_;
    DecodedFrameSink* sink_ = nullptr;
    CaptureStatistics statistics_;
    uint64_t startNs_ = 0;
    uint64_t portFrames_ = 0;
    Pending pending_ = Pending::None;
    std::array<Judged, 2> judged_;
    size_t candidate_ = 0;
    bool haveCurrent_ = false;
};

}  // namespace qorval::analyser
