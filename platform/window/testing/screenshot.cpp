#include "platform/window/testing/screenshot.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace qorval::ui::testing {

bool SaveScreenshot(QWidget& window, std::string_view name) {
    if (!window.isVisible()) {
        window.show();
    }
    QApplication::processEvents();
    const QDir dir(QStringLiteral(QORVAL_SCREENSHOT_DIR));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        return false;
    }
    const QString file =
        dir.filePath(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + ".png");
    return window.grab().save(file, "PNG");
}

}  // namespace qorval::ui::testing
