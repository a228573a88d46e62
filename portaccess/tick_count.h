#pragma once
// The millisecond tick count the tools measure their timeouts with. It wraps at 2^32 like the
// original platform's; differences taken as uint32_t stay right across the wrap.
// Tests replace the source with a virtual clock so that timeouts pass without real time.

#include <cstdint>

namespace qorval {

using TickSource = uint32_t (*)();

uint32_t GetTickCount();

// Replaces the clock; nullptr restores the monotonic system clock.
void SetTickSource(TickSource source);

}  // namespace qorval
