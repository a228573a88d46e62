// Every command of the main window as a QAction: its menu text, accelerators, status-bar prompt
// and tool tip. The main window connects them and keeps their enabled states and marks.
#pragma once

#include <QAction>
#include <QList>
#include <QObject>
#include <array>

namespace qorval::analyser {

// The view, font, page and printing commands. The main window sets their enabled states and
// marks (see CMainFrame::UpdateCommandStates); what they do is connected in one place,
// ConnectViewCommands (view_commands.cpp).
struct ViewCommandActions {
    QAction* wordWrap = nullptr;           // "&Word Wrap", marked when on; needs a view
    QAction* setTabStops = nullptr;        // "Set Ta&b Stops..."; needs a view
    QAction* setFont = nullptr;            // "Set &Font..."; needs a view
    QAction* setPrinterFont = nullptr;     // "Set &Printer Font...", marked with a printer font
    QAction* mirrorDisplayFont = nullptr;  // "&Mirror Display Font", marked without one
    QAction* pageSetup = nullptr;          // "Page Se&tup...", also without a document
    QAction* print = nullptr;              // "&Print..." Ctrl+P; needs a view
    QAction* printPreview = nullptr;       // "Print Pre&view"; needs a view
    QAction* printSetup = nullptr;         // "P&rint Setup..."
};

struct CommandActions {
    // File
    QAction* fileNew = nullptr;
    QAction* fileOpen = nullptr;
    QAction* fileClose = nullptr;
    QAction* fileSave = nullptr;
    QAction* fileSaveAs = nullptr;
    QAction* exportCapture = nullptr;
    std::array<QAction*, 4> recentFiles{};
    QAction* exit = nullptr;
    // Edit
    QAction* undo = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
    // View
    QAction* toolbar = nullptr;
    QAction* statusBar = nullptr;
    QAction* deviceInfo = nullptr;
    // Capture
    QAction* capture = nullptr;
    QAction* selectDriverPort = nullptr;
    QAction* nodeAddress = nullptr;
    QAction* resetBuffers = nullptr;
    QAction* modem = nullptr;
    QAction* portState = nullptr;
    QAction* transmitChar = nullptr;
    QAction* loggingOptions = nullptr;
    QAction* enableLogging = nullptr;
    QAction* sendOptions = nullptr;
    QAction* enableTransmit = nullptr;
    QAction* replay = nullptr;  // "Re&play Capture...", marked while a replay runs
    // Format
    QAction* ascii = nullptr;
    QAction* hex = nullptr;
    QAction* mixed = nullptr;
    // Format > Time Column, one marked
    QAction* timeOff = nullptr;
    QAction* timeSinceStart = nullptr;
    QAction* timeSincePrevious = nullptr;
    // Window
    QAction* cascade = nullptr;
    QAction* tile = nullptr;
    QAction* arrangeIcons = nullptr;
    QAction* nextPane = nullptr;
    QAction* previousPane = nullptr;
    // Help
    QAction* about = nullptr;

    ViewCommandActions views;

    // The accelerators of the main window's own commands (they pass the text view).
    QList<QKeySequence> FrameKeys() const;
};

// Makes every action as a child of `owner`, each with its object name ("fileNew", "capture"...).
CommandActions MakeCommandActions(QObject* owner);

}  // namespace qorval::analyser
