// Where the build put the suite's programs. The paths come from the build (CMake sets them on
// the journey support library), so a journey always runs the programs of its own tree.
#pragma once

namespace qorval::journeys {

inline constexpr const char* kWyvel32 = QORVAL_WYVEL32_PROGRAM;
inline constexpr const char* kVintor = QORVAL_VINTOR_PROGRAM;
inline constexpr const char* kKessup = QORVAL_KESSUP_PROGRAM;
inline constexpr const char* kLombex32 = QORVAL_LOMBEX32_PROGRAM;

}  // namespace qorval::journeys
