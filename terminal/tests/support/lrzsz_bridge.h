#pragma once
// Joins a port of the fake library to a child process's standard input and output, the way the
// driver host's byte-stream wiring joins a port's line to a socket: every frame the port's peer
// sends reaches the child as its bytes, and the child's output becomes frames at the port, cut
// at the largest receive frame or after a short gap. Used to run the lrzsz programs as far ends.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "portaccess/qorval32.h"
#include "terminal/tests/support/piped_child.h"

namespace qorval::terminal::testing {

class ChildBridge {
  public:
    // Opens `port` (the far side of a pair) and starts `argv` in `cwd`. The child's standard
    // error goes to `cwd`/stderr.txt.
    ChildBridge(uint16_t driver, uint16_t port, uint16_t frame_limit, std::vector<std::string> argv,
                const std::string& cwd);
    ~ChildBridge();
    ChildBridge(const ChildBridge&) = delete;
    ChildBridge& operator=(const ChildBridge&) = delete;

    bool Started() const { return pid_ > 0; }
    // The child's exit status after it ended by itself (-1 if it had to be stopped after
    // `seconds`).
    int Wait(int seconds);
    std::string ErrorOutput() const;
    // True once the child has written `text` to its standard error (within `seconds`).
    bool WaitForErrorText(const std::string& text, int seconds) const;

  private:
    void Pump();
    bool PeerHasRoom();
    void StopChild();

    uint16_t driver_;
    uint16_t port_;
    QORVAL_HANDLE handle_ = 0;
    uint16_t frame_limit_;
    std::string cwd_;
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    std::atomic<bool> running_{true};
    std::atomic<bool> child_done_{false};
    std::thread pump_;
    int status_ = -1;
};

}  // namespace qorval::terminal::testing
