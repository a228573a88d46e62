#include "analyser/decoded_list.h"

#include <algorithm>

#include "analyser/decoded_csv.h"

namespace qorval::analyser {

void DecodedList::SetLink(decode::LinkProtocol link) {
    link_ = link;
    Rebuild();
}

std::optional<FilterError> DecodedList::SetFilter(std::string_view expression) {
    auto parsed = FrameFilter::Parse(expression);
    if (auto* error = std::get_if<FilterError>(&parsed)) {
        return *error;
    }
    filter_ = std::get<FrameFilter>(std::move(parsed));
    Rebuild();
    return std::nullopt;
}

void DecodedList::Rebuild() {
    numbers_.clear();
    seen_ = record_.Dropped();
    clears_ = record_.Clears();
    (void)Update();
}

const RecordedFrame& DecodedList::FrameOf(uint64_t number) const {
    return record_.Frames()[number - 1 - record_.Dropped()];
}

void DecodedList::Describe(size_t index, DecodedRow& row) const {
    const uint64_t number = numbers_[index];
    const RecordedFrame& frame = FrameOf(number);
    row.frame = &frame;
    row.decoded = decode::DecodeFrame(link_, frame.bytes);
    row.facts = FrameFacts{.number = number,
                           .length = static_cast<uint32_t>(frame.bytes.size()),
                           .sent = frame.sent,
                           .result = frame.result,
                           .decoded = &row.decoded};
}

bool DecodedList::Matches(uint64_t number) const {
    if (filter_.MatchesAll()) {
        return true;
    }
    const RecordedFrame& frame = FrameOf(number);
    const decode::DecodedFrame decoded = decode::DecodeFrame(link_, frame.bytes);
    return filter_.Matches(FrameFacts{.number = number,
                                      .length = static_cast<uint32_t>(frame.bytes.size()),
                                      .sent = frame.sent,
                                      .result = frame.result,
                                      .decoded = &decoded});
}

DecodedList::Change DecodedList::Update() {
    Change change = Change::None;
    if (record_.Clears() != clears_) {
        change = numbers_.empty() ? Change::None : Change::Replaced;
        numbers_.clear();
        seen_ = 0;
        clears_ = record_.Clears();
    }
    // The record dropped its oldest frames: so do the rows.
    while (!numbers_.empty() && numbers_.front() <= record_.Dropped()) {
        numbers_.pop_front();
        change = Change::Replaced;
    }
    seen_ = std::max(seen_, record_.Dropped());
    const uint64_t total = record_.Dropped() + record_.Frames().size();
    for (uint64_t number = seen_ + 1; number <= total; ++number) {
        if (Matches(number)) {
            numbers_.push_back(number);
            change = change == Change::None ? Change::Appended : change;
        }
    }
    seen_ = total;
    return change;
}

std::optional<size_t> DecodedList::Find(const FrameFilter& expression, std::optional<size_t> from,
                                        bool forward) const {
    DecodedRow row;
    auto matches = [&](size_t index) {
        Describe(index, row);
        return expression.Matches(row.facts);
    };
    const size_t size = numbers_.size();
    if (forward) {
        for (size_t index = from ? *from + 1 : 0; index < size; ++index) {
            if (matches(index)) {
                return index;
            }
        }
    } else {
        for (size_t index = from ? std::min(*from, size) : size; index-- > 0;) {
            if (matches(index)) {
                return index;
            }
        }
    }
    return std::nullopt;
}

bool DecodedList::WriteCsv(const std::filesystem::path& path, uint64_t startNs) const {
    DecodedCsvFile file;
    if (!file.Open(path, link_)) {
        return false;
    }
    DecodedRow row;
    for (size_t index = 0; index < numbers_.size(); ++index) {
        Describe(index, row);
        file.OnDecodedFrame(row.facts, row.frame->arrivalNs, startNs);
    }
    return file.Close();
}

}  // namespace qorval::analyser
