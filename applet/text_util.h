// Small text helpers shared by the configuration engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qorval::applet {

// printf-style formatting into a std::string.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

std::string ToLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Reads a number the way edit fields are read: optional blanks and sign, then the leading
// digits; anything after them is ignored and a text without digits reads as 0. Values
// beyond 32 bits saturate.
int32_t ReadDecimal(std::string_view text);
uint32_t ReadHex(std::string_view text);

// As above, but nullopt-like failure when the text holds no leading digit at all, so a
// stored value that is not a number can take its default.
bool TryReadDecimal(std::string_view text, int32_t& value);
bool TryReadHex(std::string_view text, uint32_t& value);

}  // namespace qorval::applet
