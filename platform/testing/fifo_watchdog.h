// Lets a test that hands a program a FIFO fail instead of hang when the program waits on it:
// if the test still runs after the bound, the watchdog opens the FIFO itself for a moment,
// which releases an open (for reading or for writing) blocked on it, and says it fired.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace qorval::platform::testing {

class FifoWatchdog {
  public:
    explicit FifoWatchdog(std::filesystem::path fifo,
                          std::chrono::seconds bound = std::chrono::seconds(10))
        : fifo_(std::move(fifo)), thread_([this, bound] { Watch(bound); }) {}
    ~FifoWatchdog() {
        {
            std::lock_guard lock(lock_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool Fired() const {
        std::lock_guard lock(lock_);
        return fired_;
    }

  private:
    void Watch(std::chrono::seconds bound) {
        std::unique_lock lock(lock_);
        if (changed_.wait_for(lock, bound, [this] { return done_; })) {
            return;
        }
        fired_ = true;
        lock.unlock();
        // Both ends at once: a blocked reader gets a writer and a blocked writer a reader; the
        // reader then sees the end of the data when it goes again.
        const int both = ::open(fifo_.c_str(), O_RDWR | O_NONBLOCK);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(both);
    }

    const std::filesystem::path fifo_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};

}  // namespace qorval::platform::testing
