// Reads arbitrary bytes as a saved capture file and decodes its frames by every link (the
// first byte chooses it): the file is read within its blocks or ends with a message, and every
// frame given is counted once, numbered in order, and no longer than the file.
#include "analyser/saved_capture.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

using namespace qorval::analyser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const decode::LinkProtocol link =
        decode::kLinkProtocols[data[0] % std::size(decode::kLinkProtocols)];
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (file == nullptr) {
        return 0;
    }
    CaptureStatistics statistics;
    uint64_t frames = 0;
    const SavedCaptureSummary summary =
        DecodeSavedCapture(file, link, statistics, [&](const SavedFrame& frame) {
            if (frame.facts.number != ++frames || frame.bytes.size() > size ||
                frame.receivedCount > frames) {
                std::abort();
            }
        });
    std::fclose(file);
    if (summary.frames != frames || statistics.Frames() != frames) {
        std::abort();
    }
    return 0;
}
