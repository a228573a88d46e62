// CMainFrame: the analyser's main window. It owns the engine (CAnalyserApp) and is its user
// interface: message boxes, the status bar, the menu marks, the capture window and the Select
// Driver/Port dialog. Its documents are CChildFrame windows in a QMdiArea. While capture runs
// a zero-interval timer runs poll steps in the event loop's idle time; while a replay runs a
// timer steps it at the times its frames are due.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "analyser/analyser_app.h"
#include "analyser/capture_record.h"
#include "analyser/recent_files.h"
#include "analyser/window/shell/child_frame.h"
#include "analyser/window/shell/command_actions.h"
#include "analyser/window/shell/menus.h"

namespace qorval::ui {
class QtUserMessages;
}

namespace qorval::analyser {

class CChildFrame;
class CaptureFeed;
class DecodeCommands;
class StatusPanes;

class CMainFrame : public QMainWindow, public AnalyserUi {
    Q_OBJECT

  public:
    // Poll steps of one timer tick: at most this many, and no longer than kPollTickMs, so the
    // window stays responsive while frames stream in.
    static constexpr int kPollsPerTick = 256;
    static constexpr int kPollTickMs = 8;
    // After a poll step that found nothing the next tick waits this long.
    static constexpr int kIdleRestMs = 1;

    // `messages` replaces the window's own message boxes, status texts and file dialogs
    // (tests); the status bar then stays empty.
    explicit CMainFrame(std::filesystem::path profile, ui::UserMessages* messages = nullptr,
                        QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The engine's start-up: settings and drivers; false when the program must end.
    [[nodiscard]] bool StartEngine();
    // Shows the window in its saved placement ("WindowPos"), or with `show` when none.
    void ShowWithSavedPlacement(int64_t show);
    // Opens a file as a new document (File > Open, the recent files, the command line).
    bool OpenDocumentFile(const std::filesystem::path& path);
    // The engine's shut-down and the saving of the window's settings (also run on close).
    void Shutdown();

    CAnalyserApp& App() { return app_; }
    CommandActions& Actions() { return actions_; }
    CaptureRecord& Record() { return record_; }
    DecodeCommands& Decoding() { return *decoding_; }
    QMdiArea& Mdi() { return *mdi_; }
    QList<CChildFrame*> Children() const;
    CChildFrame* ActiveChild() const;
    CChildFrame* CaptureChild() const { return captureChild_; }
    CaptureFeed* Feed() const { return feed_; }
    const RecentFileList& RecentFiles() const { return recent_; }
    StatusPanes& Panes() { return *panes_; }
    bool PollTimerActive() const { return poll_.isActive(); }
    bool ReplayTimerActive() const { return replay_.isActive(); }
    int PollInterval() const { return poll_.interval(); }

    // Enabled states and marks of every command from the engine's and the windows' state.
    void UpdateCommandStates();

    // --- AnalyserUi ---
    MessageAnswer ShowMessage(const Message& message) override;
    void ShowStatus(std::string_view text) override;
    std::optional<std::string> ChooseFile(const ui::FileChoice& choice) override;
    void RefreshMenu(const MenuState& state) override;
    CaptureView* OpenCaptureWindow() override;
    void CloseCaptureWindow() override;
    std::optional<PortChoice> ChooseDriverPort(const SystemInfo& info) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ConnectCommands();
    CChildFrame* NewChild(std::string title);
    void NewDocument();
    void OpenDocument();
    bool SaveDocument(CChildFrame& child, bool askName);
    bool MayClose(CChildFrame& child);
    void ExportCapture();
    void OpenRecentFile(size_t index);
    void UpdateRecentFileMenu();
    void UpdateMenuBar();
    void UpdateTitle();
    void PollTick();
    // One step of the replay, and the timer set for the next.
    void ReplayTick();
    void ChildGone(QObject* child);
    void ShowFileError(const char* format, const std::filesystem::path& path);
    ui::UserMessages& Messages();

    std::filesystem::path profilePath_;
    std::unique_ptr<ui::QtUserMessages> ownMessages_;
    ui::UserMessages* messages_;
    CAnalyserApp app_;
    CaptureRecord record_;
    RecentFileList recent_;
    CommandActions actions_;
    MenuBars menus_;
    QMdiArea* mdi_;
    StatusPanes* panes_ = nullptr;
    QTimer poll_;
    QTimer replay_;  // single shot, at the time the next frame of a replay is due
    bool polling_ = false;
    bool shutDown_ = false;
    bool engineStarted_ = false;
    bool menuWithDocument_ = false;
    int documentNumber_ = 0;
    QPointer<CChildFrame> captureChild_;
    QList<QPointer<CChildFrame>> madeChildren_;
    const QObject* captureWindow_ = nullptr;  // compared only, as its destroyed signal comes
    CaptureFeed* feed_ = nullptr;
    DecodeCommands* decoding_ = nullptr;  // a child of this window
};

}  // namespace qorval::analyser
