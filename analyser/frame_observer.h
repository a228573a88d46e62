// Receives every frame the analyser takes from the port or puts on it, with the library's
// result, before any error text takes its place (the capture file writer uses it).
#pragma once

#include <cstdint>
#include <span>

namespace qorval::analyser {

class FrameObserver {
  public:
    virtual ~FrameObserver() = default;
    virtual void OnFrame(std::span<const uint8_t> bytes, bool sent, uint32_t result) = 0;
    // What OnFrame wrote may be buffered; the analyser asks for it to be written out at least
    // every CAnalyserApp::kFlushIntervalMs and when capture stops.
    virtual void Flush() {}
};

}  // namespace qorval::analyser
