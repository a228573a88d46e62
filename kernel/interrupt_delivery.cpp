// Interrupt delivery: the connected interrupt objects, the service routines run for a vector,
// and the DPC queue drained when the delivering thread has left every service routine.

#include <algorithm>

#include "kernel/io_manager.h"
#include "kernel/io_manager_records.h"

namespace qorval::kernel {

void IoManager::ConnectInterrupt(std::shared_ptr<KInterrupt> interrupt) {
    std::lock_guard guard(m_lock);
    m_interrupts.push_back(std::move(interrupt));
}

void IoManager::DisconnectInterrupt(KInterrupt* interrupt) {
    std::lock_guard guard(m_lock);
    std::erase_if(m_interrupts, [interrupt](const auto& held) { return held.get() == interrupt; });
}

size_t IoManager::ConnectedInterrupts() const {
    std::lock_guard guard(m_lock);
    return m_interrupts.size();
}

SharedInterruptLock* IoManager::InterruptLockOf(uint32_t vector) const {
    std::lock_guard guard(m_lock);
    for (const auto& [id, function] : m_functions) {
        const PhysicalDeviceInfo* info = function->Info;
        if (info == nullptr || info->InterruptLock == nullptr || !info->TranslatedResources) {
            continue;
        }
        for (const ResourceDescriptor& resource : *info->TranslatedResources) {
            if (resource.type == ResourceDescriptor::Type::Interrupt && resource.vector == vector) {
                return info->InterruptLock;
            }
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<DeviceActivity>> IoManager::ActivitiesOfVector(
    uint32_t vector) const {
    std::vector<std::shared_ptr<DeviceActivity>> activities;
    std::lock_guard guard(m_lock);
    for (const auto& [id, function] : m_functions) {
        const PhysicalDeviceInfo* info = function->Info;
        if (info == nullptr || !info->TranslatedResources) {
            continue;
        }
        for (const ResourceDescriptor& resource : *info->TranslatedResources) {
            if (resource.type == ResourceDescriptor::Type::Interrupt && resource.vector == vector) {
                activities.push_back(function->Activity);
                break;
            }
        }
    }
    return activities;
}

void IoManager::SettleAfterDpcs(std::shared_ptr<DeviceActivity> activity) {
    std::lock_guard guard(m_dpcLock);
    if (std::find(m_unsettled.begin(), m_unsettled.end(), activity) == m_unsettled.end()) {
        m_unsettled.push_back(std::move(activity));
    }
}

bool IoManager::DeliverInterrupt(uint32_t vector) {
    const bool claimed = RaiseInterrupt(vector);
    RunQueuedDpcs();
    return claimed;
}

bool IoManager::RaiseInterrupt(uint32_t vector) {
    std::vector<std::shared_ptr<KInterrupt>> targets;
    {
        std::lock_guard guard(m_lock);
        for (const auto& interrupt : m_interrupts) {
            if (interrupt->Vector == vector) {
                targets.push_back(interrupt);
            }
        }
    }
    bool claimed = false;
    for (const auto& interrupt : targets) {
        claimed = interrupt->Service() || claimed;
    }
    return claimed;
}

void IoManager::RunQueuedDpcs() {
    // Back below device level: run the DPCs the service routines queued.
    for (;;) {
        KDpc* dpc = nullptr;
        {
            std::lock_guard guard(m_dpcLock);
            if (m_dpcs.empty()) {
                break;
            }
            dpc = m_dpcs.front();
            m_dpcs.pop_front();
            ++m_dpcsRunning;
        }
        dpc->Queued.store(false);  // may be queued again while it runs
        dpc->DeferredRoutine(dpc, dpc->DeferredContext);
        {
            std::lock_guard guard(m_dpcLock);
            --m_dpcsRunning;
        }
        m_dpcIdle.notify_all();
    }
    // Then the activities of the service routines that ran (device_activity.h), once no DPC is
    // queued or running anywhere: a DPC still running on another thread may change what its
    // function reports, and that thread settles them when it is done.
    std::vector<std::shared_ptr<DeviceActivity>> unsettled;
    {
        std::lock_guard guard(m_dpcLock);
        if (m_dpcs.empty() && m_dpcsRunning == 0) {
            unsettled.swap(m_unsettled);
        }
    }
    for (const auto& activity : unsettled) {
        // A routine running now settles its function at its own end.
        (void)activity->SettleService();
    }
}

bool IoManager::QueueDpc(KDpc* dpc) {
    bool expected = false;
    if (!dpc->Queued.compare_exchange_strong(expected, true)) {
        return false;
    }
    std::lock_guard guard(m_dpcLock);
    m_dpcs.push_back(dpc);
    return true;
}

void IoManager::FlushDpcs() {
    std::unique_lock lock(m_dpcLock);
    m_dpcIdle.wait(lock, [this] { return m_dpcs.empty() && m_dpcsRunning == 0; });
}

}  // namespace qorval::kernel
