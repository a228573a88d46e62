#pragma once
// The port's interrupt lock. The interrupt service routine runs holding it; every other
// operation that touches board register 0, the IUSC or the rings takes it through
// SynchronizeExecution, so card-memory page selection and register accesses never interleave.

#include <mutex>
#include <utility>

namespace wyvel32 {

class InterruptSync {
  public:
    virtual ~InterruptSync() = default;
    virtual void Acquire() = 0;
    virtual void Release() = 0;
};

// Runs `routine` holding the interrupt lock and returns its result (KeSynchronizeExecution).
template <class Routine>
auto SynchronizeExecution(InterruptSync& sync, Routine&& routine) {
    struct Holder {
        InterruptSync& sync;
        explicit Holder(InterruptSync& s) : sync(s) { sync.Acquire(); }
        ~Holder() { sync.Release(); }
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;
    } holder(sync);
    return std::forward<Routine>(routine)();
}

// A plain mutex standing in for the interrupt spin lock (tests, host without interrupts).
class MutexInterruptSync final : public InterruptSync {
  public:
    void Acquire() override { mutex_.lock(); }
    void Release() override { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

}  // namespace wyvel32
