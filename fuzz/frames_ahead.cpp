// The read-ahead area against a client that writes anything into it between any two steps of
// the host, and a client reader against a host that does. The input is a script: each step
// writes a word of the area's header, has the host collect what the client took, publish a
// frame of a given length, answer a read request that names a frame, or drop what it holds,
// or has a client read with a given buffer length, or count the buffers held against the
// writer's mark or a scribbled one. Whatever was written, the host never keeps more frames than
// the area has records, every frame it places lies inside the byte ring (AddressSanitizer
// watches the area's bounds), a read never writes past its buffer nor delivers more than it
// may, and a count of held buffers is either refused or at most two per frame the mark holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/shared_memory_fuzzing.h"
#include "host/protocol/frames_ahead.h"

namespace ring = qorval::protocol::ring;

namespace {

using qorval::fuzzing::Check;

struct AreaTag;

uint32_t Take16(const uint8_t* data, size_t size, size_t& at) {
    uint32_t value = 0;
    if (at <= size && size - at >= 2) {
        value = data[at] | data[at + 1] << 8;
    }
    at += 2;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t* base = qorval::fuzzing::SharedBlock<AreaTag>(ring::kAheadAreaSize);
    std::memset(base, 0, ring::kAheadHeaderSize);
    const ring::AheadView view(base);
    ring::FramesAheadWriter writer;
    ring::FramesAheadReader reader;
    constexpr size_t kWords = sizeof(ring::AheadHeader) / sizeof(uint32_t);
    auto* words = reinterpret_cast<uint32_t*>(base);

    for (size_t at = 0; at < size;) {
        const uint8_t step = data[at++];
        switch (step % 5) {  // 4: a read or a count
            case 0: {  // either side scribbles on a word
                const size_t word = Take16(data, size, at) % kWords;
                uint32_t value = 0;
                if (size - std::min(at, size) >= 4) {
                    std::memcpy(&value, data + at, sizeof(value));
                }
                at += 4;
                ring::Store(words[word], value);
                break;
            }
            case 1:
                if (!writer.Collect(view)) {
                    return 0;  // the connection ends
                }
                break;
            case 2: {
                // Lengths up to the whole payload: (16 bits << 1) covers 0 to 131070.
                const size_t length = Take16(data, size, at) * 2u;
                if (!writer.HasRoomFor(length)) {
                    break;
                }
                ring::HeldFrame frame;
                frame.room = static_cast<uint32_t>(length) + (step & 0x6);
                frame.bytes.assign(length, step);
                writer.Publish(view, std::move(frame));
                break;
            }
            case 3:
                if ((step & 0x80) != 0) {
                    writer.DropAll(view);
                    break;
                }
                {
                    // A read request names a frame: the host answers from the first held
                    // frame from there on, which must be one it kept.
                    const uint32_t named = ring::Load(view.header().head) + (step >> 3) - 8;
                    uint32_t found = 0;
                    if (const ring::HeldFrame* frame = writer.FirstFrom(named, found)) {
                        Check(frame->bytes.size() <= qorval::protocol::kMaxPayload);
                        Check(found - named < ring::kAheadFrames);
                        // ... and the client goes on after it, if that is ahead of it.
                        (void)reader.MoveTo(view, found + 1);
                    }
                }
                break;
            case 4:
                if ((step & 0x80) != 0) {
                    // The held buffers against the host's mark, or against scribbled words.
                    ring::AheadMark mark = writer.Mark();
                    if ((step & 0x40) != 0) {
                        const uint32_t low = Take16(data, size, at);
                        mark.tail = low | Take16(data, size, at) << 16;
                        mark.from = mark.tail - Take16(data, size, at);
                        mark.buffers = Take16(data, size, at);
                    }
                    if (const auto held = reader.HeldBuffers(view, mark)) {
                        Check(*held <= 2 * ring::kAheadFrames);
                    }
                    break;
                }
                [[fallthrough]];
            default: {
                const uint32_t length =
                    std::min<uint32_t>(Take16(data, size, at) * 2u, qorval::protocol::kMaxPayload);
                // Exactly the read's length, so that AddressSanitizer sees a write past it.
                std::vector<uint8_t> buffer(length);
                ring::FramesAheadReader::Answer answer;
                if (reader.Read(view, buffer, answer) ==
                    ring::FramesAheadReader::Outcome::Answered) {
                    Check(answer.information <= length);
                }
                break;
            }
        }
        Check(writer.Held() <= ring::kAheadFrames);
    }
    return 0;
}
