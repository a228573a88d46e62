// Closing a port lets the frames it queued leave the card first (see QORVAL_PortClose), which
// on a slow or stopped line takes seconds. Whoever closes a port for a window takes a runner for
// that close: the window's runner keeps its events flowing meanwhile.
#pragma once

#include <functional>

// Runs `close` and returns once it has ended.
using PortCloseRunner = std::function<void(const std::function<void()>& close)>;

// Runs `close` through `run`, or on this thread when `run` is empty.
inline void RunPortClose(const PortCloseRunner& run, const std::function<void()>& close) {
    if (run) {
        run(close);
    } else {
        close();
    }
}
