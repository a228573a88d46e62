// What the view commands share: the profile's logical fonts as Qt fonts and back, the tab
// distance of a view, and the box that says no printer can be had.
#pragma once

#include <QFont>
#include <string_view>

#include "analyser/settings.h"

class QPaintDevice;
class QPlainTextEdit;

namespace qorval::ui {
class UserMessages;
}

namespace qorval::analyser::views {

// The logical font on a device whose pixels the height counts (screen pixels for the display
// font, printer pixels for the printer font); the other attributes start from `base`.
QFont ToQFont(const FontSetting& setting, const QFont& base);

// A font as the profile keeps it: the height in pixels of a device with `pixelsPerInch`
// (negative: the character height, as the font dialogs give it), weight 100 to 900, pitch and
// family in the low and high nibbles, the face name cut to 31 bytes at a character boundary.
FontSetting ToFontSetting(const QFont& font, int pixelsPerInch);

// The font for drawing on `device`: a point size that does not depend on the device.
QFont InPoints(const QFont& font, int pixelsPerInch);

// The width of an average character of `font` as drawn on `device`, the unit dialog units count
// quarters of: the mean advance of the 52 Latin letters, as the system the program comes from
// measures it (not the font's own average width, which a monospaced font may give larger or
// smaller than its characters). In a monospaced font it is the advance of every character.
qreal AverageCharacterWidth(const QFont& font, QPaintDevice* device);
// Tab stops in dialog units (4 to an average character) as a distance in the device's pixels.
qreal TabDistance(int tabStops, qreal averageCharacterWidth);
void ApplyTabStops(QPlainTextEdit& view, int tabStops);

// A beep and the box with `text` ("Cannot get printer device defaults." ...).
void ReportPrinterFailure(ui::UserMessages& messages, std::string_view text);

}  // namespace qorval::analyser::views
