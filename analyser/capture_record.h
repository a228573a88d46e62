// The frames of the latest capture as File > Export Capture... writes them: every frame taken
// from or put on the port, with the time it was seen and the library's result, kept in memory
// up to a bound (the oldest frames go first) and written as a pcapng file on request.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "analyser/frame_observer.h"

namespace qorval::analyser {

struct RecordedFrame {
    std::vector<uint8_t> bytes;
    bool sent = false;
    uint32_t result = 0;
    uint64_t timestampUs = 0;  // microseconds since 1970
};

class CaptureRecord final : public FrameObserver {
  public:
    // About 64 MB of frame bytes: a long capture keeps its most recent part.
    static constexpr size_t kDefaultByteLimit = size_t{64} << 20;

    explicit CaptureRecord(size_t byteLimit = kDefaultByteLimit,
                           std::function<uint64_t()> clockUs = {});

    void OnFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result) override;
    void Clear();
    const std::deque<RecordedFrame>& Frames() const { return frames_; }
    // Frames that were dropped to stay within the limit since the last Clear.
    uint64_t Dropped() const { return dropped_; }

    // Writes every frame kept to `path` as one pcapng interface named `interfaceName`.
    [[nodiscard]] bool WritePcapng(const std::filesystem::path& path,
                                   const std::string& interfaceName) const;

  private:
    size_t byteLimit_;
    std::function<uint64_t()> clockUs_;
    std::deque<RecordedFrame> frames_;
    size_t bytes_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace qorval::analyser
