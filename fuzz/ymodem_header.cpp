// A YMODEM header block from the far end: the name and length are parsed, the name is checked
// for the download directory and made printable for a message.

#include "terminal/ymodem_header.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qorval::terminal;
    const YmodemHeader header = ParseYmodemHeader(std::span<const uint8_t>(data, size));
    if (const auto name = SafeDownloadName(header.name)) {
        if (name->empty() || name->find('/') != std::string::npos || *name == "..") {
            __builtin_trap();
        }
    }
    (void)PrintableName(header.name);
    return 0;
}
