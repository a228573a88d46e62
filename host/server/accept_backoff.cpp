#include "host/server/accept_backoff.h"

#include <algorithm>
#include <cerrno>

namespace qorval::host {

bool IsOutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

bool AcceptBackoff::Failed(int error, Clock::time_point now) {
    if (!IsOutOfDescriptors(error)) {
        return false;
    }
    until_ = now + next_rest_;
    next_rest_ = std::min<Clock::duration>(next_rest_ * 2, kLongestRest);
    return true;
}

void AcceptBackoff::Succeeded() {
    next_rest_ = kFirstRest;
    until_ = {};
}

int AcceptBackoff::RestLeftMs(Clock::time_point now) const {
    if (!Resting(now)) {
        return -1;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until_ - now).count());
}

}  // namespace qorval::host
