#pragma once
// Cuts a byte stream into frames: a frame is sent as soon as the largest frame the port can
// receive has gathered, and whatever is left is sent on its own once the stream has been quiet
// for a short gap. Holds less than one frame between calls.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qorval::host {

class StreamFramer {
  public:
    explicit StreamFramer(size_t largest_frame);

    // Adds bytes; every whole frame they complete is appended to `frames`.
    void Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>* frames);
    // The gap has passed (or the stream ended): what is held becomes a frame, if anything.
    void Flush(std::vector<std::vector<uint8_t>>* frames);

    bool Holding() const { return !held_.empty(); }
    size_t largest_frame() const { return largest_; }

  private:
    size_t largest_;
    std::vector<uint8_t> held_;
};

}  // namespace qorval::host
