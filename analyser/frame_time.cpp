#include "analyser/frame_time.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

namespace qorval::analyser {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

uint64_t WallClockNs() {
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<uint64_t>(now.count());
}

TimeColumn TimeColumnFromSetting(int value) {
    switch (value) {
        case 1:
            return TimeColumn::SinceStart;
        case 2:
            return TimeColumn::SincePrevious;
        default:
            return TimeColumn::Off;
    }
}

std::string FormatTimeColumn(uint64_t arrivalNs, uint64_t referenceNs) {
    // Whole microseconds (cut, not rounded): frames on a 20 Mbit/s line are 28 us apart, so
    // every frame still shows a time of its own.
    const bool before = arrivalNs < referenceNs;
    const uint64_t us = (before ? referenceNs - arrivalNs : arrivalNs - referenceNs) / 1000;
    char text[40];
    const int n =
        std::snprintf(text, sizeof text, "%s%" PRIu64 ".%06" PRIu64, before ? "-" : "",
                      us / 1000000, us % 1000000);
    std::string column(n < 11 ? static_cast<size_t>(11 - n) : 0, ' ');
    column.append(text, static_cast<size_t>(n));
    column += ' ';
    return column;
}

std::string AddTimeColumn(std::string_view lines, std::string_view column) {
    std::string out;
    out.reserve(lines.size() + column.size() * (lines.size() / 40 + 1));
    const std::string blank(column.size(), ' ');
    bool first = true;
    while (!lines.empty()) {
        const size_t end = lines.find(kLineEnd);
        const size_t take = end == std::string_view::npos ? lines.size() : end + kLineEnd.size();
        out += first ? column : std::string_view(blank);
        out += lines.substr(0, take);
        lines.remove_prefix(take);
        first = false;
    }
    return out;
}

}  // namespace qorval::analyser
