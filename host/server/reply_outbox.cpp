#include "host/server/reply_outbox.h"

#include <sys/eventfd.h>

#include "host/server/seqpacket_listener.h"

namespace qorval::host {

void ReplyOutbox::WakeOwner() {
    (void)::eventfd_write(wake_, 1);
}

void ReplyOutbox::Post(std::vector<uint8_t> message) {
    std::lock_guard lock(mutex_);
    if (closed_ || failed_) {
        return;
    }
    if (queue_.empty() && SendMessage(socket_, message.data(), message.size())) {
        return;
    }
    if (queue_.size() >= kMaxQueuedReplies) {
        failed_ = true;  // the client stopped reading its replies
    } else {
        queue_.push_back(std::move(message));
    }
    WakeOwner();
}

bool ReplyOutbox::HasQueued() const {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
}

void ReplyOutbox::Flush() {
    std::lock_guard lock(mutex_);
    while (!closed_ && !queue_.empty() &&
           SendMessage(socket_, queue_.front().data(), queue_.front().size())) {
        queue_.pop_front();
    }
}

bool ReplyOutbox::Failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

void ReplyOutbox::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.clear();
}

}  // namespace qorval::host
