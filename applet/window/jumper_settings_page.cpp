#include "applet/window/jumper_settings_page.h"

#include <QFontDatabase>
#include <QLabel>

#include "applet/config_log.h"
#include "applet/window/config_sheet.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

CJumperSettingsPage::CJumperSettingsPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "jumperSettingsPage", 137, false), text_(new QPlainTextEdit(this)) {
    setWindowTitle("Jumper Settings");
    text_->setObjectName("jumperText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The pictures are drawn with tabs of eight columns.
    text_->setTabStopDistance(8 * text_->fontMetrics().horizontalAdvance(' '));
    Form()->addWidget(text_, 0, 0);
    Form()->addWidget(
        new QLabel("These settings will also be saved to the \"QLConfig.LOG\" file.", this), 1, 0);
}

void CJumperSettingsPage::Fill() {
    // The text has CR LF line ends; the page shows each pair as one line break.
    QString text = ui::ToQString(ComposeJumperPage(Sheet().Model()));
    text.remove('\r');
    text_->setPlainText(text);
}

}  // namespace qorval::applet::window
