// Feeds arbitrary bytes to the decoder of the PC card resource descriptor, the way a
// damaged or hostile registry value would reach it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "applet/pcmcia_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qorval::applet::PcmciaResources found =
        qorval::applet::DecodePcmciaResources(std::span<const uint8_t>(data, size));
    if (!found.found) {
        __builtin_trap();  // a value that was read is always found
    }
    return 0;
}
