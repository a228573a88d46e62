// When a frame arrived, and the optional time column of the display and the formatted log.
//
// Times are nanoseconds since 1970 (UTC, the system clock). A received frame's time is the
// moment its closing flag reached the port, as the driver host stamps it and the port access
// library hands it over with the frame (QORVAL_GetDataTimed); a library without that call, or
// a frame it could not stamp, takes the time the analyser read the frame. A sent frame's time
// is the moment the library accepted it (a write completes once the frame is in card memory).
// docs/analyser-decoding.md ("The time source") says why the time is taken there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qorval::analyser {

// The system clock now, in nanoseconds since 1970.
uint64_t WallClockNs();

// The time column: off (the display as it always was), or each frame's time in seconds
// relative to the start of capture or to the frame shown before it. The "Settings" key
// "TimeColumn" keeps it (0, 1, 2; any other value reads as off).
enum class TimeColumn : int { Off = 0, SinceStart = 1, SincePrevious = 2 };
TimeColumn TimeColumnFromSetting(int value);

// The column's text for a frame at `arrivalNs` against `referenceNs`: seconds with six
// decimals, right-aligned in 11 characters and followed by a space ("   0.000028 ");
// negative when the frame's time lies before the reference (a received frame read after one
// sent later than it arrived). Wider when the number needs it.
std::string FormatTimeColumn(uint64_t arrivalNs, uint64_t referenceNs);

// The frame's display lines with the column in front: the first line carries the time, the
// lines after it as many spaces, so the frame's bytes stay aligned.
std::string AddTimeColumn(std::string_view lines, std::string_view column);

}  // namespace qorval::analyser
