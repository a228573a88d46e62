// The frames of the latest capture as File > Export Capture... writes them: every frame taken
// from or put on the port, with its arrival time and the library's result, kept in memory up
// to a bound (the oldest frames go first) and written as a pcapng file on request.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "analyser/frame_observer.h"

namespace qorval::analyser {

struct RecordedFrame {
    std::vector<uint8_t> bytes;
    bool sent = false;
    uint32_t result = 0;
    uint64_t arrivalNs = 0;  // nanoseconds since 1970 (frame_time.h)
};

class CaptureRecord final : public FrameObserver {
  public:
    // About 64 MB of frame bytes: a long capture keeps its most recent part.
    static constexpr size_t kDefaultByteLimit = size_t{64} << 20;

    explicit CaptureRecord(size_t byteLimit = kDefaultByteLimit);

    void OnFrame(const CapturedFrame& frame) override;
    void Clear();
    const std::deque<RecordedFrame>& Frames() const { return frames_; }
    // Frames that were dropped to stay within the limit since the last Clear.
    uint64_t Dropped() const { return dropped_; }
    // How often the record was cleared: a reader that follows it (the decoded list) knows from
    // it that the frames it saw are gone.
    uint64_t Clears() const { return clears_; }

    // Writes every frame kept to `path` as one pcapng interface named `interfaceName`, each
    // packet stamped with the frame's arrival time.
    [[nodiscard]] bool WritePcapng(const std::filesystem::path& path,
                                   const std::string& interfaceName) const;

  private:
    size_t byteLimit_;
    std::deque<RecordedFrame> frames_;
    size_t bytes_ = 0;
    uint64_t dropped_ = 0;
    uint64_t clears_ = 0;
};

}  // namespace qorval::analyser
