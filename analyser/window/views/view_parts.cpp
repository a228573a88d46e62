#include "analyser/window/views/view_parts.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analyser/analyser_app.h"
#include "analyser/utf8_text.h"
#include "platform/user_messages.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views {
namespace {

// The pitch (low two bits) and family (high nibble) of a logical font.
constexpr int kFixedPitch = 1;
constexpr int kVariablePitch = 2;
constexpr int kPitchMask = 0x03;
constexpr int kFamilyMask = 0xF0;
constexpr int kRoman = 0x10;
constexpr int kSwiss = 0x20;
constexpr int kModern = 0x30;
constexpr int kScript = 0x40;
constexpr int kDecorative = 0x50;

constexpr size_t kFaceNameBytes = 31;
constexpr int kDialogUnitsPerCharacter = 4;

QFont::StyleHint HintOfFamily(int family) {
    switch (family) {
        case kRoman: return QFont::Serif;
        case kSwiss: return QFont::SansSerif;
        case kModern: return QFont::TypeWriter;
        case kScript: return QFont::Cursive;
        case kDecorative: return QFont::Decorative;
        default: return QFont::AnyStyle;
    }
}

int FamilyOfHint(QFont::StyleHint hint) {
    switch (hint) {
        case QFont::Serif: return kRoman;
        case QFont::SansSerif: return kSwiss;
        case QFont::TypeWriter:
        case QFont::Monospace: return kModern;
        case QFont::Cursive: return kScript;
        case QFont::Decorative:
        case QFont::Fantasy: return kDecorative;
        default: return 0;
    }
}

}  // namespace

QFont ToQFont(const FontSetting& setting, const QFont& base) {
    QFont font = base;
    font.setFamily(ui::ToQString(setting.faceName));
    font.setPixelSize(std::max(std::abs(setting.height), 1));
    if (setting.weight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(setting.weight, 1, 1000)));
    }
    font.setItalic(setting.italic != 0);
    font.setUnderline(setting.underline != 0);
    const int pitch = setting.pitchAndFamily & kPitchMask;
    if (pitch == kFixedPitch || pitch == kVariablePitch) {
        font.setFixedPitch(pitch == kFixedPitch);
    }
    font.setStyleHint(HintOfFamily(setting.pitchAndFamily & kFamilyMask));
    return font;
}

FontSetting ToFontSetting(const QFont& font, int pixelsPerInch) {
    FontSetting setting;
    const int pixels = font.pixelSize() > 0
                           ? font.pixelSize()
                           : static_cast<int>(std::lround(font.pointSizeF() * pixelsPerInch / 72.0));
    setting.height = -std::max(pixels, 1);
    setting.weight = font.weight();
    setting.italic = font.italic() ? 1 : 0;
    setting.underline = font.underline() ? 1 : 0;
    setting.pitchAndFamily = (QFontInfo(font).fixedPitch() ? kFixedPitch : kVariablePitch) |
                             FamilyOfHint(font.styleHint());
    setting.faceName = CutAtCharacter(ui::FromQString(font.family()), kFaceNameBytes);
    return setting;
}

QFont InPoints(const QFont& font, int pixelsPerInch) {
    QFont points = font;
    if (font.pixelSize() > 0 && pixelsPerInch > 0) {
        points.setPointSizeF(font.pixelSize() * 72.0 / pixelsPerInch);
    }
    return points;
}

qreal AverageCharacterWidth(const QFont& font, QPaintDevice* device) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QFontMetricsF(font, device).horizontalAdvance(kLetters) / kLetters.size();
}

qreal TabDistance(int tabStops, qreal averageCharacterWidth) {
    return std::max(tabStops, 1) * std::max(averageCharacterWidth, 1.0) /
           kDialogUnitsPerCharacter;
}

void ApplyTabStops(QPlainTextEdit& view, int tabStops) {
    view.setTabStopDistance(
        TabDistance(tabStops, AverageCharacterWidth(view.font(), view.viewport())));
    view.viewport()->update();
}

void ReportPrinterFailure(ui::UserMessages& messages, std::string_view text) {
    QApplication::beep();
    ui::ShowWarning(messages, text, CAnalyserApp::kCaption);
}

}  // namespace qorval::analyser::views
