#include "kernel/interrupt.h"

#include "kernel/io_manager.h"

namespace qorval::kernel {

bool KInterrupt::Service() {
    return wyvel32::SynchronizeExecution(
        *this, [this] { return m_connected && m_routine(this, m_context); });
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
                                               shared, manager.InterruptLockOf(vector));
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
