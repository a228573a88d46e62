// The host's reader of a request ring against a client that writes anything into the shared
// memory between any two steps. The input is a script: each step either writes a word of the
// ring's header (tail, submission entries, slot fields, the counts block and its sleepers),
// takes the next submission, completes the oldest request taken, or publishes counts (which
// reads the sleepers word) and has the client look at them. Whatever the client wrote, every
// request the reader hands out must lie inside the region (AddressSanitizer watches the
// region's bounds), have a known function and fitting lengths, and never share its slot with
// another request in flight; a malformed ring ends the run, as it ends the connection. A look
// at counts nobody scribbled on since they were published gives exactly those counts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>

#include "fuzz/shared_memory_fuzzing.h"
#include "host/protocol/counts_block.h"
#include "host/protocol/submission_reader.h"

namespace ring = qorval::protocol::ring;
using qorval::protocol::Function;

namespace {

using qorval::fuzzing::Check;

struct RegionTag;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t* base = qorval::fuzzing::SharedBlock<RegionTag>(ring::kRegionSize);
    std::memset(base, 0, ring::kHeaderSize);
    const ring::RingView view(base);
    ring::SubmissionReader reader;
    ring::CountsWriter counts;
    std::optional<uint32_t> published;
    bool counts_scribbled = false;
    std::deque<ring::RingRequest> taken;
    constexpr size_t kFirstCountsWord = offsetof(ring::RingHeader, counts) / sizeof(uint32_t);
    constexpr size_t kCountsWords = sizeof(ring::CountsBlock) / sizeof(uint32_t);
    constexpr size_t kWords = sizeof(ring::RingHeader) / sizeof(uint32_t);
    auto* words = reinterpret_cast<uint32_t*>(base);

    for (size_t at = 0; at < size;) {
        const uint8_t step = data[at++];
        if (step % 4 == 3) {  // the host publishes (or withdraws) counts; the client looks
            if (size - at < 4) {
                break;
            }
            uint32_t value;
            std::memcpy(&value, data + at, sizeof(value));
            at += 4;
            const std::optional<uint32_t> next =
                (step & 0x80) != 0 ? std::nullopt : std::optional<uint32_t>(value);
            counts.Publish(view, next);
            if (next != published) {
                counts_scribbled = false;  // the host rewrote the whole block
            }
            published = next;
            ring::CountsLook look;
            const bool seen = ring::LookAtCounts(view, look);
            if (!counts_scribbled) {
                Check(seen && look.sequence % 2 == 0);
                Check(look.valid == published.has_value());
                Check(!look.valid || look.counts == *published);
            }
        } else if (step % 4 == 0) {  // the client writes a word
            if (size - at < 6) {
                break;
            }
            const size_t word = (data[at] | data[at + 1] << 8) % kWords;
            uint32_t value;
            std::memcpy(&value, data + at + 2, sizeof(value));
            at += 6;
            ring::Store(words[word], value);
            if (word >= kFirstCountsWord && word < kFirstCountsWord + kCountsWords) {
                counts_scribbled = true;
            }
        } else if (step % 4 == 1) {  // the host takes a submission
            ring::RingRequest request;
            const char* problem = nullptr;
            const auto outcome = reader.Take(view, request, &problem);
            if (outcome == ring::SubmissionReader::Outcome::Malformed) {
                Check(problem != nullptr);
                break;
            }
            if (outcome == ring::SubmissionReader::Outcome::Empty) {
                continue;
            }
            Check(request.slot < ring::kSlots);
            Check(request.output_length <= ring::kSlotDataSize);
            Check(request.input_length <= ring::kSlotDataSize);
            Check(request.function == Function::Read || request.function == Function::Write ||
                  request.function == Function::DeviceControl);
            for (const ring::RingRequest& other : taken) {
                Check(other.slot != request.slot);
            }
            // The dispatch copies the input: every byte of it lies in the slot.
            volatile uint8_t sum = 0;
            const uint8_t* input = view.data(request.slot);
            for (uint32_t i = 0; i < request.input_length; i += 512) {
                sum = sum + input[i];
            }
            if (request.input_length != 0) {
                sum = sum + input[request.input_length - 1];
            }
            taken.push_back(request);
            Check(reader.InFlight() == taken.size());
        } else if (!taken.empty()) {  // the driver completes the oldest request
            static uint8_t output[ring::kSlotDataSize + 1];
            const size_t length = size - at >= 2 ? (data[at] | data[at + 1] << 8) : 0;
            at += 2;
            (void)reader.Complete(view, taken.front(), 0, static_cast<uint32_t>(length),
                                  std::span<const uint8_t>(output, length));
            Check(ring::Load(view.slot(taken.front().slot).reply_length) <=
                  taken.front().output_length);
            taken.pop_front();
            Check(reader.InFlight() == taken.size());
        }
    }
    return 0;
}
