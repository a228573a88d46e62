// A capture saved as a pcapng file (File > Export Capture..., --pcap, or another analyser's
// file of the same link type), decoded as a capture under way is: each frame of the analyser's
// link type, in the file's order, becomes the frame the capture would have taken from or put on
// the port, with its time, its direction and its CRC error, decoded by a link protocol and
// counted in the statistics. Packets of interfaces of another link type are passed over.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_facts.h"
#include "analyser/statistics/capture_statistics.h"

namespace qorval::analyser {

// One frame of the file as the decoded view shows it.
struct SavedFrame {
    const FrameFacts& facts;  // number: the frame's place among the file's frames (1 first)
    std::span<const uint8_t> bytes;
    uint64_t timeNs = 0;         // nanoseconds since 1970; the frame before's without one
    uint64_t startNs = 0;        // the first frame's time: the capture's start
    uint32_t receivedCount = 0;  // received frames up to this one: a received line's label
};

struct SavedCaptureSummary {
    uint64_t frames = 0;        // of the analyser's link type
    uint64_t otherPackets = 0;  // of interfaces of another link type, passed over
    uint64_t endNs = 0;         // the last frame's time
    std::string error;          // where the file broke; empty when it was read to its end
};

// Reads `file` (not owned) from its current position, calls `each` for every frame and counts
// it in `statistics` (started at the first frame). A damaged file is decoded up to the damage.
SavedCaptureSummary DecodeSavedCapture(std::FILE* file, decode::LinkProtocol link,
                                       CaptureStatistics& statistics,
                                       const std::function<void(const SavedFrame&)>& each);

}  // namespace qorval::analyser
