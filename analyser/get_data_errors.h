// The text that takes a received frame's place when the library reports an error reading it.
#pragma once

#include <cstdint>
#include <string_view>

namespace qorval::analyser {

// "CRC error on GetData!" for 1 ... "Invalid Handle error on GetData!" for 18, else
// "Unknown error on GetData!".
std::string_view GetDataErrorText(uint32_t result);

}  // namespace qorval::analyser
