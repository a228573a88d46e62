// A decoded frame as words on a line: frame types by their standard abbreviations and fields
// as the standards write them ("RR N(R)=5 P/F", "DLCI 100 FECN DE", "SLARP KEEPALIVE MYSEQ=5
// YOURSEQ=4"), then where the frame broke ("MALFORMED at byte 3: ...").
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

// Appends the fields and the break, if any, each word after a single space.
void AppendDecodedText(std::string& out, const DecodedFrame& frame);
// The same in two parts: the fields, and where the frame broke ("" when it did not).
void AppendDecodedFields(std::string& out, const DecodedFrame& frame);
void AppendDecodedProblem(std::string& out, const DecodedFrame& frame);
// The value of one field as a decoded line shows it after its label ("SABM", "100",
// "10.0.0.1"); flags give "1" or "0". The CSV export uses it.
std::string FieldValueText(const Field& field);
// Appends up to `maximum` bytes as two-digit hexadecimal words, then "..." when there are more.
void AppendHexBytes(std::string& out, std::span<const uint8_t> bytes, size_t maximum);
// "SHORT", "MALFORMED" or "" for none.
std::string_view ProblemName(Problem problem);

}  // namespace qorval::analyser::decode
