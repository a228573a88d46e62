// Drawing primitives of the jumper text: titles, address switches and columns of jumpers
// in which a fitted jumper is drawn "[o o]" and an open one " o o ".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorval::applet::jumper {

inline constexpr std::string_view kEol = "\r\n";

inline constexpr std::string_view kAddressTitle = "Address selection dip switch:\r\n";
inline constexpr std::string_view kIrqTitle = "IRQ selection jumpers:\r\n";
inline constexpr std::string_view kIrqModeTitle = "IRQ mode jumpers:\r\n";
inline constexpr std::string_view kDmaTitle = "DMA selection jumpers:\r\n";
inline constexpr std::string_view kDmaEnableTitle = "DMA Enable jumpers:\r\n";
inline constexpr std::string_view kClocksTitle = "Clock jumpers:\r\n";
inline constexpr std::string_view kClockTitle = "Clock jumper:\r\n";
inline constexpr std::string_view kOtherTitle = "Other jumpers:\r\n";
inline constexpr std::string_view kMiscTitle = "Miscellaneous I/O jumpers:\r\n";

// One jumper of a column: its label and whether it is fitted.
struct Row {
    std::string label;
    bool fitted = false;
};

// "[o o]" or " o o ".
std::string_view Pins(bool fitted);

// A named column of jumpers:
//   "\t     E8"          name above the column
//   "\t   +-----+"
//   "\t 2 |[o o]|"       label right-aligned in `label_width`
//   "\t   +-----+"
// followed by an empty line.
void DrawColumn(std::string& out, std::string_view name, const std::vector<Row>& rows,
                size_t label_width = 2);

// Columns side by side sharing one label per row (the DMA channel pictures):
//   "\t 0 |[o o]|   | o o |"
// `fitted[row][column]`; one name per column.
void DrawGrid(std::string& out, const std::vector<std::string>& names,
              const std::vector<std::string>& labels, const std::vector<std::vector<bool>>& fitted);

// Two columns, each with its own labels, the second possibly shorter:
//   "\t 1(O) |[o o]|  15(O) |[o o]|"
void DrawPair(std::string& out, std::string_view name1, const std::vector<Row>& rows1,
              std::string_view name2, const std::vector<Row>& rows2);

// The address switch: each character of `positions` is one switch, '1' for a set address
// bit (star in the off row) and '0' for a clear one (star in the on row).
void DrawSwitch(std::string& out, std::string_view on_row, std::string_view off_row);

// The on and off rows of a switch for `address`, bits `high_bit` down to `high_bit - 6`;
// `eighth` adds a last position that is always on.
void DrawAddressSwitch(std::string& out, unsigned address, int high_bit, bool eighth);

}  // namespace qorval::applet::jumper
