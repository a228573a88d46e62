// The statistics as lines of text: the summary `lombex32 --capture --stats` prints at the end
// of a capture.
#pragma once

#include <string>

#include "analyser/statistics/capture_statistics.h"

namespace qorval::analyser {

// An aborted frame never reaches the analyser: the card discards it and the port counts
// nothing for it, so its count is shown as not reported rather than as 0.
inline constexpr const char* kAbortNotReported = "not reported";

// The name of an error kind as the statistics show it ("CRC", "overrun", ...).
std::string_view ErrorKindName(FrameError error);

std::string FormatStatistics(const StatisticsSnapshot& snapshot);

}  // namespace qorval::analyser
