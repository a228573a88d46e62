#pragma once
// Synchronisation objects of the kernel model: spin locks, events and interlocked counts.
//
// A spin lock is a mutex that is first tried for a few microseconds and only then waited on:
// the model runs on ordinary threads, and ThreadSanitizer sees every ordering of a mutex. Code
// must still follow the kernel's rules (hold a spin lock briefly, never wait while holding one).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "kernel/processor_pause.h"

namespace qorval::kernel {

// Takes `mutex`, trying it without blocking for a few microseconds first. The locks of the
// kernel model and of the cards are held for a few microseconds at most, while a thread that
// blocks on one waits for the scheduler to wake it once the holder lets go: tens of
// microseconds on a virtual machine, where waking a thread on another processor is costly.
// The tries are bounded, so a holder that was itself descheduled costs a waiter little.
template <typename Mutex>
void LockTryingFirst(Mutex& mutex) {
    constexpr int kTries = 256;
    for (int i = 0; i < kTries; ++i) {
        if (mutex.try_lock()) {
            return;
        }
        PauseProcessor();
    }
    mutex.lock();
}

// KSPIN_LOCK. KeAcquireSpinLock / KeReleaseSpinLock are Acquire / Release; SpinLockGuard is
// the scoped form used wherever a lock is taken and released in the same block.
class SpinLock {
  public:
    void Acquire() { LockTryingFirst(m_mutex); }
    void Release() { m_mutex.unlock(); }

    // For std::lock_guard and std::unique_lock.
    void lock() { Acquire(); }
    void unlock() { Release(); }

  private:
    std::mutex m_mutex;
};
using SpinLockGuard = std::lock_guard<SpinLock>;

// KEVENT. A synchronisation (auto-reset) event releases one waiter and clears itself; a
// notification event stays set until it is reset.
class KEvent {
  public:
    enum class Type { Notification, Synchronization };

    KEvent(Type type, bool signalled) : m_type(type), m_signalled(signalled) {}

    // KeSetEvent: returns the previous state.
    bool Set();
    // KeClearEvent / KeResetEvent: returns the previous state.
    bool Reset();
    bool IsSet() const;

    // KeWaitForSingleObject without a timeout.
    void Wait();
    // KeWaitForSingleObject with a timeout; false when the timeout passed first.
    bool WaitFor(std::chrono::milliseconds timeout);

  private:
    const Type m_type;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled;
};

// InterlockedIncrement / InterlockedDecrement: return the new value.
inline int32_t InterlockedIncrement(std::atomic<int32_t>& value) {
    return value.fetch_add(1, std::memory_order_acq_rel) + 1;
}
inline int32_t InterlockedDecrement(std::atomic<int32_t>& value) {
    return value.fetch_sub(1, std::memory_order_acq_rel) - 1;
}

}  // namespace qorval::kernel
