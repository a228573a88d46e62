// Decodes arbitrary send-file contents block by block with a small and a large frame size. A
// block never exceeds the largest frame and the decoder always returns, also for files
// without data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "analyser/send_block_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t maximum = 1 + data[0] % 64;
    for (size_t frame : {maximum, size_t{4096}}) {
        qorval::analyser::MemorySource source(data + 1, size - 1);
        std::vector<uint8_t> buffer(frame + 1, 0xEE);
        for (int i = 0; i < 8; ++i) {
            const size_t n = qorval::analyser::ReadSendBlock(source, frame, buffer.data());
            if (n > frame || buffer[frame] != 0xEE) {
                std::abort();
            }
        }
    }
    return 0;
}
