#include "analyser/window/document/lombex32_view.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

QFont DisplayFont(const FontSetting& setting, const QFont& fallback) {
    if (setting.height == 0) {
        return fallback;  // no font chosen: the edit control's own
    }
    QFont font(ui::ToQString(setting.faceName));
    font.setPixelSize(setting.height < 0 ? -setting.height : setting.height);
    if (setting.weight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(setting.weight, 1, 1000)));
    }
    font.setItalic(setting.italic != 0);
    font.setUnderline(setting.underline != 0);
    return font;
}

}  // namespace

void ApplyTabStops(QPlainTextEdit& view, int dialogUnits) {
    const qreal averageCharacter = QFontMetricsF(view.font()).averageCharWidth();
    view.setTabStopDistance(averageCharacter * dialogUnits / 4.0);
}

CLombex32View::CLombex32View(const ViewSettings& settings, QWidget* parent)
    : QPlainTextEdit(parent) {
    setLineWrapMode(settings.wordWrap ? WidgetWidth : NoWrap);
    setFont(DisplayFont(settings.font, font()));
    ApplyTabStops(*this, settings.tabStops);
    setCenterOnScroll(false);
    connect(document(), &QTextDocument::contentsChange, this, &CLombex32View::KeepWithinLimit);
}

int CLombex32View::TextLength() const {
    return document()->characterCount() - 1;  // the document's own final paragraph mark
}

void CLombex32View::KeepWithinLimit(int position, int /*removed*/, int added) {
    const int excess = TextLength() - kTextLimit;
    if (trimming_ || excess <= 0 || added <= 0) {
        return;
    }
    // The text just typed or pasted is cut back to what fits; the text before it stays.
    trimming_ = true;
    QTextCursor cursor(document());
    const int end = position + added;
    cursor.setPosition(std::max(position, end - excess));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    trimming_ = false;
    emit textLimitReached();
}

bool CLombex32View::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& frameKey : frameKeys_) {
            if (frameKey == pressed) {
                event->ignore();  // let the main window's command have it
                return true;
            }
        }
    }
    return QPlainTextEdit::event(event);
}

void CLombex32View::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightButtonPressed();
    }
    QPlainTextEdit::mousePressEvent(event);
}

}  // namespace qorval::analyser
