// Reads arbitrary bytes as a pcapng capture file and as a replay plan. The reader either
// reads every block within the file or stops with a message; it never reads outside a block,
// and every packet it gives names an interface it described.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "analyser/pcapng_reader.h"
#include "analyser/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr) {
        return 0;
    }
    qorval::analyser::PcapngReader reader(file);
    size_t packets = 0;
    while (auto packet = reader.Next()) {
        if (packet->interfaceId >= reader.Interfaces().size()) {
            std::abort();
        }
        if (packet->bytes.size() > size) {
            std::abort();
        }
        ++packets;
    }
    std::rewind(file);
    const auto plan = qorval::analyser::ReadReplayPlan(file);
    if (const auto* frames = std::get_if<qorval::analyser::ReplayPlan>(&plan)) {
        uint64_t due = 0;
        for (const auto& frame : frames->frames) {
            if (frame.bytes.empty() || frame.dueNs < due) {
                std::abort();  // never an empty frame, never due before the one ahead
            }
            due = frame.dueNs;
        }
    }
    std::fclose(file);
    return 0;
}
