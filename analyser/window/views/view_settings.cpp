// The settings every view shares: word wrap, the display font and the tab stops, applied to a
// view as it is made and when the user switches word wrap.
#include <QApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "analyser/window/views/analyser_views.h"
#include "analyser/window/views/view_parts.h"

namespace qorval::analyser::views {
namespace {

void ApplyWordWrap(QPlainTextEdit& view, bool wordWrap) {
    view.setLineWrapMode(wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    view.setHorizontalScrollBarPolicy(wordWrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

// The wait cursor while a long text is laid out again.
class WaitCursor {
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Scrolls so the line holding `position` is the first one shown, without moving the cursor.
void ScrollToTop(QPlainTextEdit& view, int position) {
    const QTextCursor kept = view.textCursor();
    QScrollBar& bar = *view.verticalScrollBar();
    bar.setValue(bar.maximum());
    QTextCursor top(view.document());
    top.setPosition(position);
    view.setTextCursor(top);  // scrolling up to it puts its line at the top
    const int value = bar.value();
    view.setTextCursor(kept);
    bar.setValue(value);
}

}  // namespace

void ApplyViewSettings(QPlainTextEdit& view, const ViewSettings& settings) {
    ApplyWordWrap(view, settings.wordWrap);
    if (settings.font.height != 0) {
        view.setFont(ToQFont(settings.font, view.font()));
    }
    ApplyTabStops(view, settings.tabStops);
}

void ToggleWordWrap(QPlainTextEdit& view, ViewSettings& settings) {
    const WaitCursor wait;
    const int top = view.cursorForPosition(QPoint(0, 0)).position();
    const bool focused = view.hasFocus();
    settings.wordWrap = !settings.wordWrap;
    ApplyWordWrap(view, settings.wordWrap);
    ScrollToTop(view, top);
    if (focused) {
        view.setFocus();
    }
}

void MirrorDisplayFont(ViewSettings& settings) {
    if (HasPrinterFont(settings)) {
        settings.printFont.height = 0;
    }
}

}  // namespace qorval::analyser::views
