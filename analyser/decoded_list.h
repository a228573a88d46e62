// The decoded list of the latest capture, as the window's "Decoded Frames" pane shows it and
// exports it: the frames the capture record keeps, decoded by a link protocol and limited by a
// filter, numbered in the order they crossed the port. It follows the record as frames arrive
// (and as the record drops its oldest), and is rebuilt when the link or the filter changes, so
// a filter applies to a capture after it stopped as it does to one under way.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string_view>

#include "analyser/capture_record.h"
#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_filter.h"

namespace qorval::analyser {

// One row: a frame of the record with all that is known of it.
struct DecodedRow {
    const RecordedFrame* frame = nullptr;
    decode::DecodedFrame decoded;
    FrameFacts facts;  // facts.decoded points into this row

    DecodedRow() = default;
    DecodedRow(const DecodedRow&) = delete;
    DecodedRow& operator=(const DecodedRow&) = delete;
};

class DecodedList {
  public:
    explicit DecodedList(const CaptureRecord& record) : record_(record) {}

    void SetLink(decode::LinkProtocol link);
    decode::LinkProtocol Link() const { return link_; }
    // On an error the filter stays as it was.
    std::optional<FilterError> SetFilter(std::string_view expression);
    const FrameFilter& Filter() const { return filter_; }

    enum class Change { None, Appended, Replaced };
    // Takes in what the record gained, and lets go of what it dropped, since the last call:
    // whether rows were only added at the end, or changed otherwise.
    Change Update();
    size_t Size() const { return numbers_.size(); }
    // Fills `row` with row `index` (decoded afresh).
    void Describe(size_t index, DecodedRow& row) const;
    // The first row after (or before) `from` that `expression` matches; `from` itself is not
    // looked at, and nullopt `from` starts at the first (or the last) row.
    std::optional<size_t> Find(const FrameFilter& expression, std::optional<size_t> from,
                               bool forward) const;
    // Every row as CSV; times relative to `startNs`.
    [[nodiscard]] bool WriteCsv(const std::filesystem::path& path, uint64_t startNs) const;

  private:
    void Rebuild();
    const RecordedFrame& FrameOf(uint64_t number) const;
    bool Matches(uint64_t number) const;

    const CaptureRecord& record_;
    decode::LinkProtocol link_ = decode::LinkProtocol::Raw;
    FrameFilter filter_;
    std::deque<uint64_t> numbers_;  // the rows' frame numbers, ascending (1: the first frame)
    uint64_t seen_ = 0;             // frames of the record looked at
    uint64_t clears_ = 0;           // the record's clears when they were looked at
};

}  // namespace qorval::analyser
