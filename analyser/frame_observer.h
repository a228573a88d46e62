// Receives every frame the analyser takes from the port or puts on it, with the library's
// result and the frame's arrival time, before any error text takes its place (the capture
// record and the capture file writer use it).
#pragma once

#include <cstdint>
#include <span>

namespace qorval::analyser {

// One frame as the analyser took it from the port or put it on the port.
struct CapturedFrame {
    std::span<const uint8_t> bytes;  // as the library delivered or took them
    bool sent = false;
    uint32_t result = 0;     // the library's result for a received frame (0: none)
    uint64_t arrivalNs = 0;  // when it arrived or was sent: frame_time.h
};

class FrameObserver {
  public:
    virtual ~FrameObserver() = default;
    virtual void OnFrame(const CapturedFrame& frame) = 0;
    // What OnFrame wrote may be buffered; the analyser asks for it to be written out at least
    // every CAnalyserApp::kFlushIntervalMs and when capture stops.
    virtual void Flush() {}
};

}  // namespace qorval::analyser
