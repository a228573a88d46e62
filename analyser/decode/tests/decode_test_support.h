// What the decoder tests compare: a frame's decoded words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyser/decode/decoded_text.h"
#include "analyser/decode/link_protocol.h"

namespace qorval::analyser::decode {

inline std::string Decoded(LinkProtocol protocol, const std::vector<uint8_t>& bytes) {
    std::string text;
    AppendDecodedText(text, DecodeFrame(protocol, bytes));
    return text;
}

struct FrameCase {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* expected;
};

inline std::ostream& operator<<(std::ostream& out, const FrameCase& frame) {
    return out << frame.what;
}

}  // namespace qorval::analyser::decode
