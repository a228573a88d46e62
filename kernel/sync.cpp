#include "kernel/sync.h"

namespace qorval::kernel {

bool KEvent::Set() {
    std::lock_guard guard(m_mutex);
    const bool previous = m_signalled;
    m_signalled = true;
    // A synchronisation event wakes one waiter, which clears it again; a notification event
    // wakes everybody.
    if (m_type == Type::Synchronization) {
        m_changed.notify_one();
    } else {
        m_changed.notify_all();
    }
    return previous;
}

bool KEvent::Reset() {
    std::lock_guard guard(m_mutex);
    const bool previous = m_signalled;
    m_signalled = false;
    return previous;
}

bool KEvent::IsSet() const {
    std::lock_guard guard(m_mutex);
    return m_signalled;
}

void KEvent::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_signalled; });
    if (m_type == Type::Synchronization) {
        m_signalled = false;
    }
}

bool KEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [this] { return m_signalled; })) {
        return false;
    }
    if (m_type == Type::Synchronization) {
        m_signalled = false;
    }
    return true;
}

}  // namespace qorval::kernel
