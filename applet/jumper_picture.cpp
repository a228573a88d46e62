#include "applet/jumper_picture.h"

#include <algorithm>

namespace qorval::applet::jumper {

namespace {

constexpr std::string_view kBox = "+-----+";
constexpr std::string_view kGridGap = "   ";
constexpr std::string_view kPairGap = "  ";
constexpr size_t kPairLabelWidth = 5;

std::string Spaces(size_t n) {
    return std::string(n, ' ');
}

std::string RightAligned(std::string_view label, size_t width) {
    return label.size() >= width ? std::string(label)
                                 : Spaces(width - label.size()) + std::string(label);
}

std::string Cell(bool fitted) {
    return "|" + std::string(Pins(fitted)) + "|";
}

}  // namespace

std::string_view Pins(bool fitted) {
    return fitted ? "[o o]" : " o o ";
}

void DrawColumn(std::string& out, std::string_view name, const std::vector<Row>& rows,
                size_t label_width) {
    const std::string border =
        "\t" + Spaces(label_width + 1) + std::string(kBox) + std::string(kEol);
    out += "\t" + Spaces(label_width + 3) + std::string(name) + std::string(kEol);
    out += border;
    for (const Row& row : rows) {
        out += "\t" + RightAligned(row.label, label_width) + " " + Cell(row.fitted) +
               std::string(kEol);
    }
    out += border;
    out += kEol;
}

void DrawGrid(std::string& out, const std::vector<std::string>& names,
              const std::vector<std::string>& labels,
              const std::vector<std::vector<bool>>& fitted) {
    std::string name_line = "\t";
    std::string border = "\t   ";
    for (size_t column = 0; column < names.size(); ++column) {
        // Each name sits two places into its box; boxes start 10 places apart.
        const size_t at = 5 + 10 * column;
        const size_t used = name_line.size() - 1;
        name_line += Spaces(at > used ? at - used : 1) + names[column];
        border += (column == 0 ? "" : std::string(kGridGap)) + std::string(kBox);
    }
    out += name_line + std::string(kEol) + border + std::string(kEol);
    for (size_t row = 0; row < labels.size(); ++row) {
        out += "\t" + RightAligned(labels[row], 2) + " ";
        for (size_t column = 0; column < names.size(); ++column) {
            out += (column == 0 ? "" : std::string(kGridGap)) + Cell(fitted[row][column]);
        }
        out += kEol;
    }
    out += border + std::string(kEol) + std::string(kEol);
}

void DrawPair(std::string& out, std::string_view name1, const std::vector<Row>& rows1,
              std::string_view name2, const std::vector<Row>& rows2) {
    const std::string left_border = Spaces(kPairLabelWidth + 1) + std::string(kBox);
    const std::string right_border =
        Spaces(kPairGap.size() + kPairLabelWidth + 1) + std::string(kBox);
    const size_t second_name_at = 2 * (kPairLabelWidth + 1) + kBox.size() + kPairGap.size() + 2;
    std::string name_line = Spaces(kPairLabelWidth + 3) + std::string(name1);
    name_line += Spaces(second_name_at > name_line.size() ? second_name_at - name_line.size() : 1);
    out += "\t" + name_line + std::string(name2) + std::string(kEol);
    out += "\t" + left_border + right_border + std::string(kEol);
    const size_t lines = std::max(rows1.size(), rows2.size() + 1);
    for (size_t i = 0; i < lines; ++i) {
        std::string line = "\t";
        if (i < rows1.size()) {
            line += RightAligned(rows1[i].label, kPairLabelWidth) + " " + Cell(rows1[i].fitted);
        } else if (i == rows1.size()) {
            line += left_border;
        } else {
            line += Spaces(left_border.size());
        }
        if (i < rows2.size()) {
            line += std::string(kPairGap) + RightAligned(rows2[i].label, kPairLabelWidth) + " " +
                    Cell(rows2[i].fitted);
        } else if (i == rows2.size()) {
            line += right_border;
        }
        out += line + std::string(kEol);
    }
    if (rows1.size() >= lines) {
        out += "\t" + left_border + std::string(kEol);
    }
    out += kEol;
}

void DrawSwitch(std::string& out, std::string_view on_row, std::string_view off_row) {
    const std::string border =
        "\t+---+" + std::string(on_row.size() + 2, '-') + "+" + std::string(kEol);
    out += border;
    out += "\t|on | " + std::string(on_row) + " |" + std::string(kEol);
    out += "\t|off| " + std::string(off_row) + " |" + std::string(kEol);
    out += border;
    out += kEol;
}

void DrawAddressSwitch(std::string& out, unsigned address, int high_bit, bool eighth) {
    std::string on_row;
    std::string off_row;
    for (int bit = high_bit; bit > high_bit - 7; --bit) {
        const bool set = (address >> bit) & 1u;
        on_row += set ? ' ' : '*';
        off_row += set ? '*' : ' ';
    }
    if (eighth) {
        on_row += '*';
        off_row += ' ';
    }
    DrawSwitch(out, on_row, off_row);
}

}  // namespace qorval::applet::jumper
