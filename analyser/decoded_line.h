// The decoded display format: one line a frame, beside the three byte formats. A line is the
// frame's label ("%04X " frame number, or "SENT "), its length, the library's error in
// brackets when it reported one, and the decoded words (hexadecimal bytes on a raw link):
//   0003    23 B C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0
//   SENT     2 A RNR N(R)=4
//   0007     2 [CRC error on GetData!] B RR N(R)=1
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_facts.h"

namespace qorval::analyser {

// At most this many bytes of a frame are shown on a raw link's line.
inline constexpr size_t kDecodedLineRawBytes = 32;

// What a line shows of a frame after its label, length and status: the decoded words, or on a
// raw link (or for a frame not decoded) its first bytes in hexadecimal. `head` holds at least
// the frame's first kDecodedLineRawBytes bytes.
void AppendDecodedWords(std::string& out, const FrameFacts& facts, decode::LinkProtocol link,
                        std::span<const uint8_t> head);

// The line of a frame from the port. `head` holds the frame's first bytes (for a raw link).
std::string DecodedFrameLine(const FrameFacts& facts, decode::LinkProtocol link,
                             std::span<const uint8_t> head, uint32_t frameCount);
// The line of a text the analyser shows in a frame's place (a send that failed).
std::string DecodedTextLine(std::string_view text, bool sent, uint32_t frameCount);

}  // namespace qorval::analyser
