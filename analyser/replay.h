// Putting the frames of a capture back onto a port: the frames that arrived at the port that
// captured them (the analyser's own export or another packet analyser's capture of the same
// link type), with their original spacing or as fast as the line takes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

enum class ReplayTiming {
    Original,  // each frame as long after the first as it arrived after it
    Line,      // each frame as soon as the port has a free transmit buffer
};

struct ReplayFrame {
    std::vector<uint8_t> bytes;
    uint64_t dueNs = 0;  // after the start of the replay, in original timing
};

struct ReplayPlan {
    std::vector<ReplayFrame> frames;
    uint64_t skippedSent = 0;        // frames the capturing side sent, not received
    uint64_t skippedOtherLinks = 0;  // packets of an interface of another link type
    uint64_t skippedUnusable = 0;    // empty, or cut short by the capture's snap length
};

// The frames to replay from a pcapng file: packets of the analyser's link type (SDLC) that
// arrived at the capturing port (or whose direction the file does not say), in the order of
// the file, each due as long after the first as its time lies after the first's (never
// before the frame ahead of it; a packet without a time is due with the one before it). The
// error text when the file cannot be read, breaks the format, or holds no such frame.
std::variant<ReplayPlan, std::string> ReadReplayPlan(std::FILE* file);
std::variant<ReplayPlan, std::string> LoadReplayPlan(const std::filesystem::path& path);

// Sends a plan onto an open port, a step at a time, so that a window's event loop keeps
// running and a command line can sleep between steps.
class ReplaySession {
  public:
    // `clockNs`: a steady clock in nanoseconds (the session's time base).
    ReplaySession(QORVAL_HANDLE handle, ReplayPlan plan, ReplayTiming timing,
                  std::function<uint64_t()> clockNs);

    struct Step {
        bool finished = false;  // every frame went out, or a write failed
        uint32_t failure = 0;   // the library's result of the write that failed; 0: none
        uint64_t nextNs = 0;    // when to step again, on the session's clock
    };
    // Sends every frame that is due, as far as the transmit buffers take them. A frame that
    // finds no free buffer waits for the next step (`nextNs` then asks for a step soon).
    Step Run();

    size_t Sent() const { return sent_; }
    size_t Total() const { return plan_.frames.size(); }
    // How much later than its time the latest frame went out (original timing).
    uint64_t LargestLatenessNs() const { return largestLatenessNs_; }

    // How soon to look again for a free transmit buffer.
    static constexpr uint64_t kBufferPollNs = 200'000;

  private:
    QORVAL_HANDLE handle_;
    ReplayPlan plan_;
    ReplayTiming timing_;
    std::function<uint64_t()> clockNs_;
    bool started_ = false;
    uint64_t startNs_ = 0;
    size_t sent_ = 0;
    uint64_t largestLatenessNs_ = 0;
};

}  // namespace qorval::analyser
