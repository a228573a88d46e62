#include "host/bus/stream_framer.h"

#include <algorithm>

namespace qorval::host {

StreamFramer::StreamFramer(size_t largest_frame) : largest_(std::max<size_t>(largest_frame, 1)) {}

void StreamFramer::Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>* frames) {
    while (!bytes.empty()) {
        const size_t take = std::min(bytes.size(), largest_ - held_.size());
        held_.insert(held_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (held_.size() == largest_) {
            frames->push_back(std::move(held_));
            held_.clear();
        }
    }
}

void StreamFramer::Flush(std::vector<std::vector<uint8_t>>* frames) {
    if (!held_.empty()) {
        frames->push_back(std::move(held_));
        held_.clear();
    }
}

}  // namespace qorval::host
