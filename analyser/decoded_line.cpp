#include "analyser/decoded_line.h"

#include <algorithm>
#include <cstdio>

#include "analyser/decode/decoded_text.h"
#include "analyser/frame_format.h"
#include "analyser/get_data_errors.h"

namespace qorval::analyser {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLength(std::string& line, uint32_t length) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%5u ", length);
    line.append(text, static_cast<size_t>(n));
}

void AppendBracketed(std::string& line, std::string_view text) {
    line += '[';
    line += text;
    line += "] ";
}

}  // namespace

void AppendDecodedWords(std::string& out, const FrameFacts& facts, decode::LinkProtocol link,
                        std::span<const uint8_t> head) {
    if (link == decode::LinkProtocol::Raw || facts.decoded == nullptr) {
        const auto shown = head.first(std::min(head.size(), kDecodedLineRawBytes));
        decode::AppendHexBytes(out, shown, kDecodedLineRawBytes);
        if (facts.length > shown.size()) {
            out += " ...";
        }
    } else {
        decode::AppendDecodedText(out, *facts.decoded);
    }
}

std::string DecodedFrameLine(const FrameFacts& facts, decode::LinkProtocol link,
                             std::span<const uint8_t> head, uint32_t frameCount) {
    std::string line;
    line.reserve(96);
    AppendFrameLabel(line, facts.sent, frameCount);
    AppendLength(line, facts.length);
    if (facts.result != 0) {
        AppendBracketed(line, GetDataErrorText(facts.result));
    }
    AppendDecodedWords(line, facts, link, head);
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    line += kLineEnd;
    return line;
}

std::string DecodedTextLine(std::string_view text, bool sent, uint32_t frameCount) {
    std::string line;
    AppendFrameLabel(line, sent, frameCount);
    AppendBracketed(line, text);
    line.pop_back();
    line += kLineEnd;
    return line;
}

}  // namespace qorval::analyser
