// The analyser's logo and version, as the splash and the About box show them.
#pragma once

#include <QPixmap>

namespace qorval::analyser {

inline constexpr const char* kVersionLine = "Lombex for NT Version 1.0";
inline constexpr const char* kCopyrightLine = "Part of the Qorval synchronous serial suite";

// A framed line trace of an HDLC flag (01111110) over the program's name, drawn at any size.
QPixmap PaintLogo(int width, int height);

}  // namespace qorval::analyser
