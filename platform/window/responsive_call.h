// A call that may block for seconds (a port's close lets its queued frames leave the card
// first), made without freezing the windows: the call runs on a thread of its own while this
// thread goes on handling paint, timer and window events. Keyboard and mouse input waits until
// the call has ended, so nothing the user does can reach the object the call works on.
#pragma once

#include <functional>

namespace qorval::ui {

// Runs `call` on another thread and returns once it has ended; meanwhile the calling (window)
// thread's events other than user input are handled. Fits PortCloseRunner.
void RunKeepingWindowsAlive(const std::function<void()>& call);

}  // namespace qorval::ui
