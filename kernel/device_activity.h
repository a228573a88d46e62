#pragma once
// What the driver does on its own for one function, for those who mirror its state outside
// the driver (the driver host's device sockets publish each handle's buffer counts to its
// client): when its interrupt service routine runs and when a Plug and Play or power request
// is sent to it. The driver knows nothing of it; the I/O manager notes it around the calls it
// makes anyway.
//
// A watcher is told "unsettled" before the driver may change anything (under the interrupt
// lock, before the service routine runs; before the request is sent) and "settled" once what
// followed is over: for interrupts, when no service routine of the function runs and no DPC
// is queued or running (the DPCs the routine queued have finished); for requests, when the
// request has completed. Interrupt runs are numbered: Settled(Interrupt, n) covers the runs up
// to n, so a watcher that hears of a later run first stays unsettled. Watchers may be called
// on several threads at once, and once more after they were removed.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qorval::kernel {

class DeviceActivity {
  public:
    // A start is a request after which the driver's rings are new (what it held before is gone).
    enum class Cause { Interrupt, Request, Start };

    class Watcher {
      public:
        virtual ~Watcher() = default;
        // Called under the interrupt lock for an interrupt: quick work only, and no lock that
        // a thread may hold while it waits for the interrupt lock.
        virtual void Unsettled(Cause cause, uint64_t run) = 0;
        // Holding no lock of the kernel model; the watcher may send requests.
        virtual void Settled(Cause cause, uint64_t run) = 0;
    };

    // A watcher added while something is under way hears of it first, so that it is told
    // "settled" only after "unsettled".
    void AddWatcher(std::shared_ptr<Watcher> watcher) {
        std::lock_guard guard(m_lock);
        for (unsigned i = 0; i < m_requests; ++i) {
            watcher->Unsettled(Cause::Request, 0);
        }
        if (m_inService != 0) {
            watcher->Unsettled(Cause::Interrupt, m_runs);
        }
        m_watchers.push_back(std::move(watcher));
    }
    void RemoveWatcher(const Watcher* watcher) {
        std::lock_guard guard(m_lock);
        std::erase_if(m_watchers, [watcher](const auto& each) { return each.get() == watcher; });
    }

    // Around each run of the service routine, under the interrupt lock.
    void BeginService() {
        std::lock_guard guard(m_lock);
        ++m_inService;
        ++m_runs;
        for (const auto& watcher : m_watchers) {
            watcher->Unsettled(Cause::Interrupt, m_runs);
        }
    }
    void EndService() {
        std::lock_guard guard(m_lock);
        --m_inService;
    }
    // Once no DPC is queued or running: settles the runs so far, unless a service routine of
    // the function runs now (its own end settles it). Returns whether it settled.
    bool SettleService() {
        uint64_t runs = 0;
        std::vector<std::shared_ptr<Watcher>> watchers;
        {
            std::lock_guard guard(m_lock);
            if (m_inService != 0) {
                return false;
            }
            runs = m_runs;
            watchers = m_watchers;
        }
        for (const auto& watcher : watchers) {
            watcher->Settled(Cause::Interrupt, runs);
        }
        return true;
    }

    // Around a Plug and Play or power request sent to the function.
    void BeginRequest(Cause cause = Cause::Request) {
        std::lock_guard guard(m_lock);
        ++m_requests;
        for (const auto& watcher : m_watchers) {
            watcher->Unsettled(cause, 0);
        }
    }
    void EndRequest() {
        std::vector<std::shared_ptr<Watcher>> watchers;
        {
            std::lock_guard guard(m_lock);
            --m_requests;
            watchers = m_watchers;
        }
        for (const auto& watcher : watchers) {
            watcher->Settled(Cause::Request, 0);
        }
    }

  private:
    std::mutex m_lock;  // guards everything below
    std::vector<std::shared_ptr<Watcher>> m_watchers;
    unsigned m_inService = 0;
    unsigned m_requests = 0;
    uint64_t m_runs = 0;
};

}  // namespace qorval::kernel
