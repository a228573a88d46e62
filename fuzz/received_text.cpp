// Received bytes shown in the terminal's text area: backspaces, line ends and trimming.

#include "terminal/received_text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qorval::terminal;
    StringTextArea area;
    // The input is shown as pieces cut at every 0xFF byte, so pieces meet each other's rules.
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const size_t cut = rest.find('\xFF');
        ShowReceivedPiece(area, rest.substr(0, cut), nullptr);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (area.Length() > kTextAreaLimit + 2 * size) {
            __builtin_trap();
        }
    }
    return 0;
}
