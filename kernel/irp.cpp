#include "kernel/irp.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "kernel/verifier.h"

namespace qorval::kernel {
namespace {

std::string Describe(const Irp* irp) {
    char text[96];
    std::snprintf(text, sizeof text, "request %p (major 0x%02X, minor 0x%02X)",
                  static_cast<const void*>(irp), static_cast<unsigned>(irp->MajorFunction),
                  irp->MinorFunction);
    return text;
}

void MarkQueued(Irp* irp, const void* queue) {
    const void* expected = nullptr;
    if (!irp->QueuedOn.compare_exchange_strong(expected, queue)) {
        Verifier::Report(Describe(irp) + " put on a queue while already queued");
    }
    if (irp->Completed.load()) {
        Verifier::Report(Describe(irp) + " queued after it was completed");
    }
}

void MarkUnqueued(Irp* irp) {
    irp->QueuedOn.store(nullptr);
}

}  // namespace

void IoMarkIrpPending(Irp* irp) {
    irp->MarkedPending.store(true);
}

CancelRoutine IoSetCancelRoutine(Irp* irp, CancelRoutine routine) {
    return irp->CurrentCancelRoutine.exchange(routine);
}

void IoSetCompletionRoutine(Irp* irp, CompletionRoutine routine, void* context,
                            DeviceObject* device) {
    irp->Completions.push_back({routine, context, device});
}

void IoCompleteRequest(Irp* irp) {
    if (irp->Completed.load()) {
        Verifier::Report(Describe(irp) + " completed twice");
        return;  // a second completion would reach the issuer twice; drop it
    }
    if (irp->QueuedOn.load() != nullptr) {
        Verifier::Report(Describe(irp) + " completed while still queued");
    }
    if (irp->CurrentCancelRoutine.load() != nullptr) {
        Verifier::Report(Describe(irp) + " completed with its cancel routine still set");
        irp->CurrentCancelRoutine.store(nullptr);
    }
    // Completion routines run from the lowest driver up; each sees whether the request went
    // pending below it.
    while (!irp->Completions.empty()) {
        const Irp::Completion step = irp->Completions.back();
        irp->Completions.pop_back();
        irp->PendingReturned = irp->MarkedPending.load();
        if (step.Routine(step.Device, irp, step.Context) == STATUS_MORE_PROCESSING_REQUIRED) {
            return;  // the driver that stopped the completion completes the request again
        }
    }
    irp->Completed.store(true);
    // The finisher may free the request: take it out first and touch nothing afterwards.
    std::function<void(Irp&)> finished = std::move(irp->OnFinished);
    irp->OnFinished = nullptr;
    if (finished) {
        finished(*irp);
    }
}

void IrpList::PushBack(Irp* irp) {
    MarkQueued(irp, this);
    m_items.push_back(irp);
}

Irp* IrpList::PopFront() {
    if (m_items.empty()) {
        return nullptr;
    }
    Irp* irp = m_items.front();
    m_items.pop_front();
    MarkUnqueued(irp);
    return irp;
}

bool IrpList::Remove(Irp* irp) {
    auto found = std::find(m_items.begin(), m_items.end(), irp);
    if (found == m_items.end()) {
        return false;
    }
    m_items.erase(found);
    MarkUnqueued(irp);
    return true;
}

std::vector<Irp*> IrpList::RemoveIf(const std::function<bool(Irp*)>& pick) {
    std::vector<Irp*> taken;
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (pick(*it)) {
            MarkUnqueued(*it);
            taken.push_back(*it);
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

bool DeviceQueue::Insert(Irp* irp) {
    std::lock_guard guard(m_lock);
    if (!m_busy) {
        m_busy = true;
        return false;
    }
    m_entries.PushBack(irp);
    return true;
}

Irp* DeviceQueue::Remove() {
    std::lock_guard guard(m_lock);
    Irp* irp = m_entries.PopFront();
    if (irp == nullptr) {
        m_busy = false;
    }
    return irp;
}

bool DeviceQueue::RemoveEntry(Irp* irp) {
    std::lock_guard guard(m_lock);
    return m_entries.Remove(irp);
}

std::vector<Irp*> DeviceQueue::RemoveIf(const std::function<bool(Irp*)>& pick) {
    std::lock_guard guard(m_lock);
    return m_entries.RemoveIf(pick);
}

bool DeviceQueue::Busy() const {
    std::lock_guard guard(m_lock);
    return m_busy;
}

}  // namespace qorval::kernel
