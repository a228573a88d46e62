#pragma once
// What the fuzz targets of the host's shared-memory structures share: a page-aligned stand-in
// for a mapping, made once and reused by every run (AddressSanitizer watches its bounds), and
// a check that stops the run where an invariant broke.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace qorval::fuzzing {

// `size` bytes, page aligned, the same block for every call with the same `Tag`.
template <typename Tag>
uint8_t* SharedBlock(size_t size) {
    static uint8_t* block = static_cast<uint8_t*>(std::aligned_alloc(4096, size));
    return block;
}

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace qorval::fuzzing
