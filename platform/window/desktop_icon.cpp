#include "platform/window/desktop_icon.h"

#include <QApplication>
#include <QStandardPaths>

namespace qorval::ui {
namespace {

// Installed with the program's dependencies; it holds every icon name the windows ask for.
constexpr const char* kPackagedTheme = "Tango";

}  // namespace

QIcon DesktopIcon(const char* themeName, QStyle::StandardPixmap standard) {
    static const bool themeChosen = [] {
        // A desktop's icon theme has the basic document icons. Without a desktop (offscreen, a
        // bare X session) there is no theme, or only the "hicolor" base, and Qt may not even
        // look where the system keeps its icons: the packaged theme then serves as the theme.
        if (!QIcon::hasThemeIcon(QStringLiteral("document-new"))) {
            QStringList paths = QIcon::themeSearchPaths();
            for (const QString& data :
                 QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
                const QString icons = data + QStringLiteral("/icons");
                if (!paths.contains(icons)) {
                    paths << icons;
                }
            }
            QIcon::setThemeSearchPaths(paths);
            QIcon::setThemeName(QString::fromLatin1(kPackagedTheme));
        }
        if (QIcon::fallbackThemeName().isEmpty()) {
            QIcon::setFallbackThemeName(QString::fromLatin1(kPackagedTheme));
        }
        return true;
    }();
    (void)themeChosen;
    return QIcon::fromTheme(QString::fromLatin1(themeName),
                            QApplication::style()->standardIcon(standard));
}

}  // namespace qorval::ui
