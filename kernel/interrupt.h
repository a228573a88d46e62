#pragma once
// Interrupt objects (IoConnectInterrupt, KeSynchronizeExecution) and deferred procedure calls.
//
// The interrupt object is the port's interrupt lock: its service routine runs holding it, and
// SynchronizeExecution (driver/interrupt_sync.h) takes the same lock for every other hardware
// or ring operation. Interrupts reach it through IoManager::DeliverInterrupt, called by
// whoever models the interrupt line (the driver host's card thread, or a test).
//
// DPCs run when the interrupt delivery that queued them has left every service routine, on
// the delivering thread, the way a processor drains its DPC queue as it drops from device
// level. So nothing runs under the interrupt lock except the service routine itself.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "driver/interrupt_sync.h"
#include "kernel/device_activity.h"
#include "kernel/kernel_types.h"
#include "kernel/shared_interrupt_lock.h"

namespace qorval::kernel {

class IoManager;
class KInterrupt;

using ServiceRoutine = bool (*)(KInterrupt* interrupt, void* context);

class KInterrupt final : public wyvel32::InterruptSync {
  public:
    KInterrupt(IoManager& manager, ServiceRoutine routine, void* context, uint32_t vector,
               bool level_sensitive, bool shared, SharedInterruptLock* external_lock = nullptr,
               std::vector<std::shared_ptr<DeviceActivity>> activities = {})
        : Manager(manager),
          Vector(vector),
          LevelSensitive(level_sensitive),
          Shared(shared),
          m_external(external_lock),
          m_routine(routine),
          m_context(context),
          m_activities(std::move(activities)) {}

    // The interrupt lock: the object's own, or the lock of the card model when the function
    // shares one (external_lock).
    void Acquire() override {
        if (m_external != nullptr) {
            m_external->lock();
        } else {
            m_lock.lock();
        }
    }
    void Release() override {
        if (m_external != nullptr) {
            m_external->unlock();
        } else {
            m_lock.unlock();
        }
    }

    // Runs the service routine holding the lock, unless the object was disconnected, and
    // notes the run on the activity of each function that has this vector.
    bool Service();
    // Marks the object disconnected: once this returns, the service routine never runs again.
    void Disconnect();

    IoManager& Manager;
    const uint32_t Vector;
    const bool LevelSensitive;
    const bool Shared;

  private:
    std::mutex m_lock;
    SharedInterruptLock* const m_external;
    bool m_connected = true;  // guarded by the interrupt lock
    const ServiceRoutine m_routine;
    void* const m_context;
    // Of every function whose interrupt resource has this vector (one, unless shared).
    const std::vector<std::shared_ptr<DeviceActivity>> m_activities;
};

// IoConnectInterrupt: STATUS_INVALID_PARAMETER without a routine; the I/O manager keeps the
// object until IoDisconnectInterrupt.
NTSTATUS IoConnectInterrupt(IoManager& manager, KInterrupt** interrupt, ServiceRoutine routine,
                            void* context, uint32_t vector, uint32_t irql, uint64_t affinity,
                            bool level_sensitive, bool shared);
void IoDisconnectInterrupt(KInterrupt* interrupt);

// KeSynchronizeExecution.
template <class Routine>
auto KeSynchronizeExecution(KInterrupt* interrupt, Routine&& routine) {
    return wyvel32::SynchronizeExecution(*interrupt, std::forward<Routine>(routine));
}

// KDPC. Queued at most once until it runs.
struct KDpc {
    using Routine = void (*)(KDpc* dpc, void* context);
    KDpc(Routine routine, void* context) : DeferredRoutine(routine), DeferredContext(context) {}
    const Routine DeferredRoutine;
    void* const DeferredContext;
    std::atomic<bool> Queued{false};
};

// KeInsertQueueDpc: false when the DPC was already queued.
bool KeInsertQueueDpc(IoManager& manager, KDpc* dpc);
// Waits until no DPC is queued or running (KeFlushQueuedDpcs). Call it before freeing a DPC.
void KeFlushQueuedDpcs(IoManager& manager);

}  // namespace qorval::kernel
