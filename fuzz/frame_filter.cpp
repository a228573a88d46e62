// Feeds arbitrary text to the filter parser. An expression either parses, and then matches
// decoded frames of every link without fault, or gives an error that points into it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_filter.h"

using namespace qorval::analyser;

namespace {

const std::vector<std::vector<uint8_t>> kFrames = {
    {0x01, 0x00, 0x10, 0x01, 0x0B, 0x45, 0x31, 0x10, 0x12, 0x34, 0x50, 0x00},
    {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x07, 0x03, 0x06, 0xA0, 0x82},
    {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,
     0x04},
    {0x01},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = FrameFilter::Parse(text);
    if (const auto* error = std::get_if<FilterError>(&parsed)) {
        if (error->message.empty() || error->column == 0 ||
            error->column > FrameFilter::kMaxLength + 1) {
            std::abort();
        }
        return 0;
    }
    const FrameFilter& filter = std::get<FrameFilter>(parsed);
    int matched = 0;
    for (decode::LinkProtocol link : decode::kLinkProtocols) {
        for (const auto& bytes : kFrames) {
            const decode::DecodedFrame decoded = decode::DecodeFrame(link, bytes);
            const FrameFacts facts{.number = 1,
                                   .length = static_cast<uint32_t>(bytes.size()),
                                   .result = static_cast<uint32_t>(size % 3),
                                   .decoded = &decoded};
            matched += filter.Matches(facts) ? 1 : 0;
        }
    }
    const FrameFacts text_in_place{.sent = true, .sendFailed = true};
    matched += filter.Matches(text_in_place) ? 1 : 0;
    return matched < 0 ? 1 : 0;
}
