// Feeds arbitrary frames to every link decoder: the first byte chooses the link, the rest is
// the frame. Every frame must decode without reading outside it, say where it broke within it,
// and give a line of text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "analyser/decode/decoded_text.h"
#include "analyser/decode/frame_kind.h"
#include "analyser/decode/link_protocol.h"

using namespace qorval::analyser::decode;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const LinkProtocol link = kLinkProtocols[data[0] % std::size(kLinkProtocols)];
    const std::span<const uint8_t> frame(data + 1, size - 1);
    const DecodedFrame decoded = DecodeFrame(link, frame);
    if (decoded.size() > DecodedFrame::kMaxFields ||
        (decoded.GetProblem() != Problem::None &&
         (decoded.ProblemOffset() > frame.size() || decoded.ProblemReason().empty()))) {
        std::abort();
    }
    std::string text;
    AppendDecodedText(text, decoded);
    for (const Field& field : decoded) {
        text += FieldValueText(field);
    }
    text += FrameKind(decoded);
    return text.size() > (1u << 20) ? 1 : 0;
}
