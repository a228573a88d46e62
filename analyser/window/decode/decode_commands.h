// The main window's decoding commands and panes, kept apart from its other commands: the
// fourth display format "&Decoded" and the "Link &Protocol" choice in the Format menu, the
// "Decoded &Frames" and "S&tatistics" panes in the View menu, Find Next (F3) and Find Previous
// (Shift+F3) in the decoded frames, and "Export Decoded &List..." in the File menus.
#pragma once

#include <QAction>
#include <QList>
#include <QMainWindow>
#include <QObject>

#include "analyser/analyser_app.h"
#include "analyser/capture_record.h"

namespace qorval::analyser {

class DecodedFramesPane;
class StatisticsPane;

struct DecodeActions {
    QAction* decoded = nullptr;             // "&Decoded", marked while the decoded view is on
    QList<QAction*> links;                  // one a link protocol, the capture's one marked
    QAction* decodedFrames = nullptr;       // shows or hides the "Decoded Frames" pane
    QAction* statistics = nullptr;          // shows or hides the "Statistics" pane
    QAction* findNext = nullptr;            // F3
    QAction* findPrevious = nullptr;        // Shift+F3
    QAction* exportDecodedList = nullptr;   // needs a row in the decoded frames
};

class DecodeCommands final : public QObject {
    Q_OBJECT

  public:
    // Adds the commands to the window's menus (found by their object names) and the panes to
    // its bottom dock area side by side, hidden.
    DecodeCommands(QMainWindow& window, CAnalyserApp& app, const CaptureRecord& record,
                   AnalyserUi& ui);
    // The panes go with the commands: they read the engine and the record, which may go next.
    ~DecodeCommands() override;

    // Marks and enabled states from the engine's state.
    void UpdateStates();

    const DecodeActions& Actions() const { return actions_; }
    DecodedFramesPane& FramesPane() { return *frames_; }
    StatisticsPane& Statistics() { return *statistics_; }

  private:
    void AddToMenus(QMainWindow& window);
    void ExportDecodedList();

    CAnalyserApp& app_;
    AnalyserUi& ui_;
    DecodeActions actions_;
    DecodedFramesPane* frames_;
    StatisticsPane* statistics_;
};

}  // namespace qorval::analyser
