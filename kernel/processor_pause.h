#pragma once
// The processor's spin-wait hint, for loops that wait a few microseconds for another
// processor: it saves power and leaves the core's resources to its sibling thread.

namespace qorval::kernel {

inline void PauseProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace qorval::kernel
