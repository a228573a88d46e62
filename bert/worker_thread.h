#pragma once
// One of the tester's worker threads with its running flag. The window sets the flag before it
// starts the worker and clears it to stop it; Stop then waits for the thread to end by joining
// it, which takes the place of polling the thread's exit code.

#include <atomic>
#include <cstdint>
#include <thread>
#include <utility>

namespace qorval::bert {

class WorkerThread {
  public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread() { Stop(); }

    std::atomic<uint16_t>& Running() { return running_; }
    bool IsRunningFlagSet() const { return running_.load(std::memory_order_relaxed) != 0; }
    // A worker exists from its start until Stop, also after it has ended on its own.
    bool Exists() const { return thread_.joinable(); }

    // Sets the running flag and starts `body` unless a worker exists.
    template <typename Body>
    void Start(Body&& body) {
        running_.store(1, std::memory_order_relaxed);
        if (!Exists()) {
            thread_ = std::thread(std::forward<Body>(body));
        }
    }
    void ClearFlag() { running_.store(0, std::memory_order_relaxed); }
    // Clears the running flag and waits until the worker has ended.
    void Stop() {
        ClearFlag();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    std::atomic<uint16_t> running_{0};
    std::thread thread_;
};

}  // namespace qorval::bert
