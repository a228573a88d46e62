// The two menu bars (without a document window: File, View, Capture, Format, Help; with one:
// File, Edit, View, Capture, Format, Window, Help) and the dockable toolbar.
#pragma once

#include <QList>
#include <QMenu>
#include <QToolBar>

#include "analyser/window/shell/command_actions.h"

namespace qorval::analyser {

struct MenuBars {
    QList<QMenu*> withoutDocument;
    QList<QMenu*> withDocument;
    QMenu* windowMenu = nullptr;  // its window list is filled as it opens
};

MenuBars MakeMenuBars(const CommandActions& actions, QWidget* owner);

// New, Open, Save | Cut, Copy, Paste, Undo | Capture, Logging, Transmit | ASCII, Hex, Mixed |
// Print, About.
QToolBar* MakeToolBar(const CommandActions& actions, QWidget* owner);

}  // namespace qorval::analyser
