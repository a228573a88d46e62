// The statistics as lines of text: the summary `lombex32 --capture --stats` prints at the end
// of a capture.
#pragma once

#include <string>

#include "analyser/statistics/capture_statistics.h"

namespace qorval::analyser {

// The name of an error kind as the statistics show it ("CRC", "overrun", ...).
std::string_view ErrorKindName(FrameError error);

std::string FormatStatistics(const StatisticsSnapshot& snapshot);

}  // namespace qorval::analyser
