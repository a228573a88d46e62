#pragma once
// A request being dispatched on this thread, from the moment a connection hands it to the
// driver until the driver's dispatch routine returns. Work the hardware asks for while the
// driver holds its locks (stepping a card the driver just started) can be put off until the
// outermost scope ends, when this thread holds no lock of the driver, and done right here
// instead of by waking another thread. Outside any scope nothing is put off.

#include <functional>
#include <utility>
#include <vector>

namespace qorval::kernel {

class DispatchScope {
  public:
    DispatchScope() { ++State().depth; }
    ~DispatchScope() {
        if (--State().depth != 0) {
            return;
        }
        // The work runs outside any scope: what it asks for in turn is not put off.
        std::vector<Owed> owed = std::move(State().owed);
        State().owed.clear();
        for (Owed& each : owed) {
            each.work();
        }
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

    // Puts `work` off to the end of this thread's outermost scope, once per `owner` however
    // often it is asked for; false outside a scope.
    static bool PutOff(const void* owner, const std::function<void()>& work) {
        ThreadState& state = State();
        if (state.depth == 0) {
            return false;
        }
        for (const Owed& each : state.owed) {
            if (each.owner == owner) {
                return true;
            }
        }
        state.owed.push_back({owner, work});
        return true;
    }

  private:
    struct Owed {
        const void* owner;
        std::function<void()> work;
    };
    struct ThreadState {
        unsigned depth = 0;
        std::vector<Owed> owed;
    };
    static ThreadState& State() {
        thread_local ThreadState state;
        return state;
    }
};

}  // namespace qorval::kernel
