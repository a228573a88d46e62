#include "kernel/interrupt.h"

#include "kernel/io_manager.h"

namespace qorval::kernel {

bool KInterrupt::Service() {
    const bool claimed = wyvel32::SynchronizeExecution(*this, [this] {
        if (!m_connected) {
            return false;
        }
        for (const auto& activity : m_activities) {
            activity->BeginService();
        }
        const bool mine = m_routine(this, m_context);
        for (const auto& activity : m_activities) {
            activity->EndService();
        }
        return mine;
    });
    // Settled once the DPCs the routine queued have run.
    for (const auto& activity : m_activities) {
        Manager.SettleAfterDpcs(activity);
    }
    return claimed;
}

void KInterrupt::Disconnect() {
    // Taking the lock waits for a service routine that is running now; the flag keeps out
    // any delivery that had already picked this object up.
    wyvel32::SynchronizeExecution(*this, [this] { m_connected = false; });
}

NTSTATUS IoConnectInterrupt(IoManager& manager, KInterrupt** interrupt, ServiceRoutine routine,
                            void* context, uint32_t vector, uint32_t irql, uint64_t affinity,
                            bool level_sensitive, bool shared) {
    (void)irql;
    (void)affinity;
    *interrupt = nullptr;
    if (routine == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    auto object = std::make_shared<KInterrupt>(manager, routine, context, vector, level_sensitive,
                                               shared, manager.InterruptLockOf(vector),
                                               manager.ActivitiesOfVector(vector));
    *interrupt = object.get();
    manager.ConnectInterrupt(std::move(object));
    return STATUS_SUCCESS;
}

void IoDisconnectInterrupt(KInterrupt* interrupt) {
    interrupt->Disconnect();
    interrupt->Manager.DisconnectInterrupt(interrupt);
}

bool KeInsertQueueDpc(IoManager& manager, KDpc* dpc) {
    return manager.QueueDpc(dpc);
}

void KeFlushQueuedDpcs(IoManager& manager) {
    manager.FlushDpcs();
}

}  // namespace qorval::kernel
