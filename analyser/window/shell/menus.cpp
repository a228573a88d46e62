#include "analyser/window/shell/menus.h"

namespace qorval::analyser {
namespace {

QMenu* Menu(QWidget* owner, const char* name, const char* title, QList<QAction*> items) {
    auto* menu = new QMenu(QString::fromLatin1(title), owner);
    menu->setObjectName(name);
    for (QAction* item : items) {
        if (item == nullptr) {
            menu->addSeparator();
        } else {
            menu->addAction(item);
        }
    }
    return menu;
}

QList<QAction*> RecentFiles(const CommandActions& a) {
    return {a.recentFiles.begin(), a.recentFiles.end()};
}

}  // namespace

MenuBars MakeMenuBars(const CommandActions& a, QWidget* owner) {
    const ViewCommandActions& v = a.views;
    MenuBars bars;
    QMenu* fileShort =
        Menu(owner, "fileMenu", "&File",
             QList<QAction*>{a.fileNew, a.fileOpen, nullptr, a.exportCapture, nullptr,
                             v.printSetup, v.pageSetup, nullptr} +
                 RecentFiles(a) + QList<QAction*>{nullptr, a.exit});
    QMenu* fileLong =
        Menu(owner, "fileMenuWithDocument", "&File",
             QList<QAction*>{a.fileNew, a.fileOpen, a.fileClose, a.fileSave, a.fileSaveAs,
                             nullptr, a.exportCapture, nullptr, v.print, v.printPreview,
                             v.printSetup, v.pageSetup, nullptr} +
                 RecentFiles(a) + QList<QAction*>{nullptr, a.exit});
    QMenu* edit = Menu(owner, "editMenu", "&Edit", {a.undo, nullptr, a.cut, a.copy, a.paste});
    QMenu* view = Menu(owner, "viewMenu", "&View",
                       {a.toolbar, a.statusBar, nullptr, a.deviceInfo, nullptr, v.setTabStops,
                        v.wordWrap, nullptr, v.setFont, v.setPrinterFont, v.mirrorDisplayFont});
    QMenu* capture = Menu(owner, "captureMenu", "&Capture",
                          {a.capture, nullptr, a.selectDriverPort, a.nodeAddress, a.resetBuffers,
                           a.modem, a.portState, a.transmitChar, nullptr, a.loggingOptions,
                           a.enableLogging, nullptr, a.sendOptions, a.enableTransmit, nullptr,
                           a.replay});
    QMenu* format = Menu(owner, "formatMenu", "F&ormat", {a.ascii, a.hex, a.mixed, nullptr});
    format->addMenu(Menu(owner, "timeColumnMenu", "&Time Column",
                         {a.timeOff, a.timeSinceStart, a.timeSincePrevious}));
    bars.windowMenu = Menu(owner, "windowMenu", "&Window",
                           {a.cascade, a.tile, a.arrangeIcons, nullptr, a.nextPane,
                            a.previousPane});
    QMenu* help = Menu(owner, "helpMenu", "&Help", {a.about});
    bars.withoutDocument = {fileShort, view, capture, format, help};
    bars.withDocument = {fileLong, edit, view, capture, format, bars.windowMenu, help};
    return bars;
}

QToolBar* MakeToolBar(const CommandActions& a, QWidget* owner) {
    auto* bar = new QToolBar(QStringLiteral("Toolbar"), owner);
    bar->setObjectName("toolbar");
    bar->setMovable(true);
    bar->setFloatable(true);
    for (QAction* item :
         QList<QAction*>{a.fileNew, a.fileOpen, a.fileSave, nullptr, a.cut, a.copy, a.paste,
                         a.undo, nullptr, a.capture, a.enableLogging, a.enableTransmit, nullptr,
                         a.ascii, a.hex, a.mixed, nullptr, a.views.print, a.about}) {
        if (item == nullptr) {
            bar->addSeparator();
        } else {
            bar->addAction(item);
        }
    }
    return bar;
}

}  // namespace qorval::analyser
