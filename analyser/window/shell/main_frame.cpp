#include "analyser/window/shell/main_frame.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QStatusBar>

#include "analyser/shell_info.h"
#include "analyser/string_printf.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/decode/decode_commands.h"
#include "analyser/window/document/capture_feed.h"
#include "analyser/window/shell/about_box.h"
#include "analyser/window/shell/child_frame.h"
#include "analyser/window/shell/status_panes.h"
#include "analyser/window/shell/view_commands.h"
#include "analyser/window/shell/window_placement.h"
#include "platform/profile.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/responsive_call.h"
#include "portaccess/driver_host_hint.h"

namespace qorval::analyser {
namespace {

constexpr const char* kSaveChanges = "Save changes to %s?";
constexpr const char* kCannotOpen = "Cannot open the file %s.";
constexpr const char* kTooLarge = "The file %s is too large to open.";
constexpr const char* kCannotSave = "Cannot save the file %s.";
constexpr const char* kCannotExport = "Cannot write the capture file %s.";
constexpr const char* kExported = "Capture exported to %s.";
constexpr const char* kNewTitle = "Lombex%d";
constexpr const char* kTextFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kOpenFilter = "All Files (*.*)|*.*|Text Files (*.txt)|*.txt||";
constexpr const char* kCaptureFilter = "Capture Files (*.pcapng)|*.pcapng|All Files (*.*)|*.*||";
constexpr const char* kCaptureInterface = "Wyvel32 port %u";

}  // namespace

CMainFrame::CMainFrame(std::filesystem::path profile, ui::UserMessages* messages,
                       QWidget* parent)
    : QMainWindow(parent),
      profilePath_(std::move(profile)),
      ownMessages_(messages == nullptr ? std::make_unique<ui::QtUserMessages>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()),
      app_(*this, profilePath_),
      actions_(MakeCommandActions(this)),
      menus_(MakeMenuBars(actions_, this)),
      mdi_(new QMdiArea(this)) {
    setObjectName("mainFrame");
    setCentralWidget(mdi_);
    addToolBar(MakeToolBar(actions_, this));
    panes_ = new StatusPanes(*statusBar());
    if (ownMessages_) {
        ownMessages_->SetStatusBar(statusBar());
    }
    statusBar()->showMessage(QStringLiteral("Ready"));
    app_.SetDriverInfoHint(DriverHostHint);
    app_.SetFrameObserver(&record_);
    // Closing a port with a full ring waits for its frames to leave; the windows go on
    // painting meanwhile.
    app_.SetCloseRunner(ui::RunKeepingWindowsAlive);
    {
        const platform::ProfileFile file(profilePath_);
        recent_.Load(file);
    }
    poll_.setInterval(0);
    connect(&poll_, &QTimer::timeout, this, &CMainFrame::PollTick);
    replay_.setSingleShot(true);
    replay_.setTimerType(Qt::PreciseTimer);
    connect(&replay_, &QTimer::timeout, this, &CMainFrame::ReplayTick);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] {
        UpdateMenuBar();
        UpdateCommandStates();
        UpdateTitle();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::UpdateCommandStates);
    for (QMenu* menu : menus_.withDocument + menus_.withoutDocument) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    }
    ConnectCommands();
    ConnectViewCommands(*this, actions_.views);
    decoding_ = new DecodeCommands(*this, app_, record_, *this);
    UpdateRecentFileMenu();
    UpdateMenuBar();
    UpdateCommandStates();
    UpdateTitle();
    resize(760, 520);
}

CMainFrame::~CMainFrame() {
    // The document windows and the decoding panes go while this object is whole: their views
    // and their going are reported to it, and the panes read the engine and the record.
    poll_.stop();
    replay_.stop();
    delete decoding_;
    decoding_ = nullptr;
    for (const QPointer<CChildFrame>& child : madeChildren_) {
        delete child.data();  // also those closed and waiting to be deleted
    }
    // No events for a window being destroyed: a port still open is closed right here.
    app_.SetCloseRunner(nullptr);
    Shutdown();
    app_.SetFrameObserver(nullptr);
}

ui::UserMessages& CMainFrame::Messages() {
    return *messages_;
}

bool CMainFrame::StartEngine() {
    engineStarted_ = app_.Startup();
    UpdateCommandStates();
    return engineStarted_;
}

void CMainFrame::ShowWithSavedPlacement(int64_t show) {
    platform::ProfileFile profile(profilePath_);
    const std::optional<WindowPlacement> saved = ReadWindowPos(profile);
    ShowPlaced(*this, saved, InitialShowCommand(saved, show));
}

void CMainFrame::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    poll_.stop();
    replay_.stop();
    platform::ProfileFile profile(profilePath_);
    recent_.Save(profile);
    if (engineStarted_) {
        app_.Shutdown();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Every modified document may be saved or the closing cancelled; capture windows close
    // without a question.
    for (CChildFrame* child : Children()) {
        if (child != captureChild_ && !MayClose(*child)) {
            event->ignore();
            return;
        }
    }
    platform::ProfileFile profile(profilePath_);
    WriteWindowPos(profile, PlacementToSave(PlacementOf(*this), isMaximized()));
    for (CChildFrame* child : Children()) {
        child->CloseWithoutAsking();
    }
    Shutdown();
    event->accept();
}

// --- Commands ---

void CMainFrame::ConnectCommands() {
    auto on = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] {
            // A checkable command's button and mark switch as it is pressed; they show the
            // program's state again at once, so a box the command shows (no port, no file)
            // never sits under a button that looks pressed for something that did not happen.
            UpdateCommandStates();
            handler();
            UpdateCommandStates();
        });
    };
    CommandActions& a = actions_;
    on(a.fileNew, [this] { NewDocument(); });
    on(a.fileOpen, [this] { OpenDocument(); });
    on(a.fileClose, [this] {
        if (CChildFrame* child = ActiveChild()) {
            child->close();
        }
    });
    on(a.fileSave, [this] {
        if (CChildFrame* child = ActiveChild()) {
            (void)SaveDocument(*child, false);
        }
    });
    on(a.fileSaveAs, [this] {
        if (CChildFrame* child = ActiveChild()) {
            (void)SaveDocument(*child, true);
        }
    });
    on(a.exportCapture, [this] { ExportCapture(); });
    for (size_t i = 0; i < a.recentFiles.size(); ++i) {
        on(a.recentFiles[i], [this, i] { OpenRecentFile(i); });
    }
    on(a.exit, [this] { close(); });

    auto onView = [this, &on](QAction* action, void (QPlainTextEdit::*edit)()) {
        on(action, [this, edit] {
            if (CChildFrame* child = ActiveChild()) {
                (child->View().*edit)();
            }
        });
    };
    onView(a.undo, &QPlainTextEdit::undo);
    onView(a.cut, &QPlainTextEdit::cut);
    onView(a.copy, &QPlainTextEdit::copy);
    onView(a.paste, &QPlainTextEdit::paste);

    on(a.toolbar, [this] {
        if (auto* bar = findChild<QToolBar*>("toolbar")) {
            bar->setVisible(actions_.toolbar->isChecked());
        }
    });
    on(a.statusBar, [this] { statusBar()->setVisible(actions_.statusBar->isChecked()); });

    using PortDialog = void (*)(QWidget*, CAnalyserApp&, ui::UserMessages&);
    auto onDialog = [this, &on](QAction* action, PortDialog run) {
        on(action, [this, run] { run(this, app_, Messages()); });
    };
    onDialog(a.deviceInfo, &RunDeviceInfoDialog);
    onDialog(a.nodeAddress, &RunNodeAddressDialog);
    onDialog(a.resetBuffers, &RunResetBuffersDialog);
    onDialog(a.modem, &RunModemControlDialog);
    // The port state dialog is reached also while a capture window is active: the view does
    // not claim the command.
    onDialog(a.portState, &RunPortStateDialog);
    onDialog(a.transmitChar, &RunTransmitCharDialog);
    onDialog(a.loggingOptions, &RunLoggingOptionsDialog);
    onDialog(a.sendOptions, &RunSendOptionsDialog);

    on(a.capture, [this] { app_.ToggleCapture(); });
    on(a.selectDriverPort, [this] { (void)app_.SelectDriverPort(); });
    on(a.enableLogging, [this] { app_.ToggleLogging(); });
    on(a.enableTransmit, [this] { app_.ToggleTransmit(); });
    on(a.replay, [this] {
        if (app_.Replaying()) {
            app_.StopReplay();
        } else if (RunReplayDialog(this, app_, Messages())) {
            ReplayTick();
        }
    });
    on(a.ascii, [this] { app_.SetDisplayFormat(0); });
    on(a.hex, [this] { app_.SetDisplayFormat(1); });
    on(a.mixed, [this] { app_.SetDisplayFormat(2); });
    on(a.timeOff, [this] { app_.SetTimeColumn(TimeColumn::Off); });
    on(a.timeSinceStart, [this] { app_.SetTimeColumn(TimeColumn::SinceStart); });
    on(a.timeSincePrevious, [this] { app_.SetTimeColumn(TimeColumn::SincePrevious); });

    on(a.cascade, [this] { mdi_->cascadeSubWindows(); });
    on(a.tile, [this] { mdi_->tileSubWindows(); });
    on(a.arrangeIcons, [this] { mdi_->tileSubWindows(); });
    on(a.nextPane, [this] { mdi_->activateNextSubWindow(); });
    on(a.previousPane, [this] { mdi_->activatePreviousSubWindow(); });
    on(a.about, [this] { RunAboutDialog(this, ReadThisMachinesAboutLines()); });
}

void CMainFrame::UpdateCommandStates() {
    CommandActions& a = actions_;
    const bool capturing = app_.Capturing();
    CChildFrame* child = ActiveChild();
    CLombex32View* view = child != nullptr ? &child->View() : nullptr;

    a.fileNew->setEnabled(!capturing);
    a.fileOpen->setEnabled(!capturing);
    for (QAction* recent : a.recentFiles) {
        recent->setEnabled(!capturing);
    }
    for (QAction* needsDocument : {a.fileClose, a.fileSave, a.fileSaveAs}) {
        needsDocument->setEnabled(child != nullptr);
    }
    a.exportCapture->setEnabled(!record_.Frames().empty());
    a.undo->setEnabled(view != nullptr && view->document()->isUndoAvailable() &&
                       !view->isReadOnly());
    const bool selection = view != nullptr && view->textCursor().hasSelection();
    a.cut->setEnabled(selection);
    a.copy->setEnabled(selection);
    a.paste->setEnabled(view != nullptr && view->canPaste());
    for (QAction* windows : {a.cascade, a.tile, a.arrangeIcons, a.nextPane, a.previousPane}) {
        windows->setEnabled(child != nullptr);
    }

    a.capture->setChecked(capturing);
    a.enableLogging->setChecked(app_.LoggingEnabled());
    a.enableTransmit->setChecked(app_.TransmitEnabled());
    // No format is marked before the engine has read the settings that name it, and the
    // decoded view, when on, takes the mark from the three byte formats.
    const int format = engineStarted_ && !app_.DecodedView() ? app_.Parms().display : -1;
    a.ascii->setChecked(format == 0);
    a.hex->setChecked(format == 1);
    a.mixed->setChecked(format == 2);
    const TimeColumn column = app_.GetTimeColumn();
    a.timeOff->setChecked(column == TimeColumn::Off);
    a.timeSinceStart->setChecked(column == TimeColumn::SinceStart);
    a.timeSincePrevious->setChecked(column == TimeColumn::SincePrevious);
    a.replay->setChecked(app_.Replaying());
    if (!app_.Replaying()) {
        replay_.stop();
    }
    if (decoding_ != nullptr) {
        decoding_->UpdateStates();
    }
    if (auto* bar = findChild<QToolBar*>("toolbar")) {
        a.toolbar->setChecked(!bar->isHidden());
    }
    a.statusBar->setChecked(!statusBar()->isHidden());

    ViewCommandActions& v = a.views;
    for (QAction* viewCommand :
         {v.wordWrap, v.setTabStops, v.setFont, v.setPrinterFont, v.mirrorDisplayFont, v.print,
          v.printPreview}) {
        viewCommand->setEnabled(view != nullptr);
    }
    const ViewSettings& settings = app_.View();
    v.wordWrap->setChecked(settings.wordWrap);
    v.setPrinterFont->setChecked(settings.printFont.height != 0);
    v.mirrorDisplayFont->setChecked(settings.printFont.height == 0);

    if (poll_.isActive() != capturing) {
        if (capturing) {
            poll_.setInterval(0);
            poll_.start();
        } else {
            poll_.stop();
        }
    }
}

// --- Documents ---

QList<CChildFrame*> CMainFrame::Children() const {
    QList<CChildFrame*> children;
    for (QMdiSubWindow* window : mdi_->subWindowList()) {
        if (auto* child = qobject_cast<CChildFrame*>(window)) {
            children.push_back(child);
        }
    }
    return children;
}

CChildFrame* CMainFrame::ActiveChild() const {
    return qobject_cast<CChildFrame*>(mdi_->activeSubWindow());
}

CChildFrame* CMainFrame::NewChild(std::string title) {
    auto* child = new CChildFrame(app_.View(), std::move(title),
                                  [this](CChildFrame& frame) { return MayClose(frame); });
    child->View().SetFrameShortcuts(actions_.FrameKeys());
    madeChildren_.removeAll(nullptr);
    madeChildren_.push_back(child);
    connect(child, &QObject::destroyed, this, &CMainFrame::ChildGone);
    connect(&child->View(), &QPlainTextEdit::selectionChanged, this,
            &CMainFrame::UpdateCommandStates);
    connect(child->View().document(), &QTextDocument::undoAvailable, this,
            &CMainFrame::UpdateCommandStates);
    // After the area has merged or restored the captions for the new state.
    connect(child, &QMdiSubWindow::windowStateChanged, this,
            [this] { QTimer::singleShot(0, this, &CMainFrame::UpdateTitle); });
    mdi_->addSubWindow(child);
    child->show();
    mdi_->setActiveSubWindow(child);
    UpdateMenuBar();
    UpdateTitle();
    return child;
}

void CMainFrame::ChildGone(QObject* child) {
    // A capture window the user closed is dropped from the engine; capture goes on without
    // display (the log and the capture record still get every frame).
    if (feed_ != nullptr && child == captureWindow_) {
        captureWindow_ = nullptr;
        captureChild_ = nullptr;
        feed_ = nullptr;
        app_.CaptureWindowClosed();
    }
    // The window list changes after this signal: look again once it has.
    QTimer::singleShot(0, this, [this] {
        UpdateMenuBar();
        UpdateCommandStates();
        UpdateTitle();
    });
}

void CMainFrame::NewDocument() {
    NewChild(StringPrintf(kNewTitle, ++documentNumber_));
}

void CMainFrame::OpenDocument() {
    ui::FileChoice choice;
    choice.mode = ui::FileChoiceMode::Open;
    choice.caption = "Open";
    choice.filter = kOpenFilter;
    if (const auto path = Messages().ChooseFile(choice)) {
        (void)OpenDocumentFile(*path);
    }
}

void CMainFrame::ShowFileError(const char* format, const std::filesystem::path& path) {
    ui::ShowWarning(Messages(), StringPrintf(format, path.string().c_str()),
                    CAnalyserApp::kCaption);
}

bool CMainFrame::OpenDocumentFile(const std::filesystem::path& path) {
    // A file already open is shown again rather than opened twice.
    const std::filesystem::path absolute = std::filesystem::absolute(path).lexically_normal();
    for (CChildFrame* child : Children()) {
        if (child->Doc().Path() == absolute) {
            mdi_->setActiveSubWindow(child);
            return true;
        }
    }
    CChildFrame* child = NewChild(absolute.filename().string());
    switch (child->Doc().Open(absolute)) {
        case CLombex32Doc::LoadResult::Ok:
            break;
        case CLombex32Doc::LoadResult::TooLarge:
            child->CloseWithoutAsking();
            ShowFileError(kTooLarge, absolute);
            return false;
        case CLombex32Doc::LoadResult::CannotRead:
            child->CloseWithoutAsking();
            ShowFileError(kCannotOpen, absolute);
            recent_.Remove(absolute.string());
            UpdateRecentFileMenu();
            return false;
    }
    child->UpdateTitle();
    recent_.Add(absolute.string());
    UpdateRecentFileMenu();
    UpdateTitle();
    return true;
}

bool CMainFrame::SaveDocument(CChildFrame& child, bool askName) {
    std::filesystem::path path = child.Doc().Path();
    if (askName || path.empty()) {
        ui::FileChoice choice;
        choice.mode = ui::FileChoiceMode::Save;
        choice.caption = "Save As";
        choice.filter = kTextFilter;
        choice.defaultExtension = "txt";
        choice.initialPath = path.empty() ? child.Doc().Title() : path.string();
        const auto chosen = Messages().ChooseFile(choice);
        if (!chosen) {
            return false;
        }
        path = std::filesystem::absolute(*chosen).lexically_normal();
    }
    if (!child.Doc().Save(path)) {
        ShowFileError(kCannotSave, path);
        return false;
    }
    child.UpdateTitle();
    recent_.Add(path.string());
    UpdateRecentFileMenu();
    UpdateTitle();
    return true;
}

bool CMainFrame::MayClose(CChildFrame& child) {
    if (!child.Doc().IsModified()) {
        return true;
    }
    const MessageAnswer answer = Messages().ShowMessage(
        Message{StringPrintf(kSaveChanges, child.Doc().Title().c_str()), CAnalyserApp::kCaption,
                MessageIcon::Warning, MessageButtons::YesNoCancel, std::nullopt});
    switch (answer) {
        case MessageAnswer::Yes:
            return SaveDocument(child, false);
        case MessageAnswer::No:
            return true;
        default:
            return false;
    }
}

void CMainFrame::ExportCapture() {
    ui::FileChoice choice;
    choice.mode = ui::FileChoiceMode::Save;
    choice.caption = "Export Capture";
    choice.filter = kCaptureFilter;
    choice.defaultExtension = "pcapng";
    const auto path = Messages().ChooseFile(choice);
    if (!path) {
        return;
    }
    const std::string name =
        StringPrintf(kCaptureInterface, unsigned{app_.SelectedPort().portNumber});
    if (!record_.WritePcapng(*path, name)) {
        ShowFileError(kCannotExport, *path);
        return;
    }
    Messages().ShowStatus(StringPrintf(kExported, path->c_str()));
}

void CMainFrame::OpenRecentFile(size_t index) {
    if (index < recent_.Paths().size()) {
        (void)OpenDocumentFile(recent_.Paths()[index]);
    }
}

void CMainFrame::UpdateRecentFileMenu() {
    for (size_t i = 0; i < actions_.recentFiles.size(); ++i) {
        QAction* action = actions_.recentFiles[i];
        const bool used = i < recent_.Paths().size();
        action->setVisible(used);
        if (used) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                ui::ToQString(recent_.Paths()[i])));
        }
    }
}

void CMainFrame::UpdateMenuBar() {
    const bool withDocument = !Children().isEmpty();
    if (withDocument == menuWithDocument_ && !menuBar()->actions().isEmpty()) {
        return;
    }
    menuWithDocument_ = withDocument;
    menuBar()->clear();
    for (QMenu* menu : withDocument ? menus_.withDocument : menus_.withoutDocument) {
        menuBar()->addMenu(menu);
    }
}

void CMainFrame::UpdateTitle() {
    // A maximised document window has no caption of its own: the area adds its title to this
    // one as " - [TITLE]" (and takes it away again when the window is restored), so the
    // caption then names the program only.
    QString title = QString::fromLatin1(CAnalyserApp::kCaption);
    CChildFrame* child = ActiveChild();
    if (child != nullptr && !child->isMaximized()) {
        title += QStringLiteral(" - ") + ui::ToQString(child->Doc().Title());
    }
    setWindowTitle(title);
}

// --- The engine's window hooks ---

MessageAnswer CMainFrame::ShowMessage(const Message& message) {
    return Messages().ShowMessage(message);
}

void CMainFrame::ShowStatus(std::string_view text) {
    Messages().ShowStatus(text);
}

std::optional<std::string> CMainFrame::ChooseFile(const ui::FileChoice& choice) {
    return Messages().ChooseFile(choice);
}

void CMainFrame::RefreshMenu(const MenuState&) {
    UpdateCommandStates();
}

CaptureView* CMainFrame::OpenCaptureWindow() {
    for (CChildFrame* child : Children()) {
        child->CloseWithoutAsking();
    }
    captureChild_ = nullptr;
    feed_ = nullptr;
    record_.Clear();
    CChildFrame* child = NewChild(StringPrintf(kNewTitle, ++documentNumber_));
    captureChild_ = child;
    captureWindow_ = child;
    feed_ = new CaptureFeed(child->View());
    return feed_;
}

void CMainFrame::CloseCaptureWindow() {
    CChildFrame* child = captureChild_;
    captureChild_ = nullptr;
    captureWindow_ = nullptr;
    feed_ = nullptr;
    if (child != nullptr) {
        child->CloseWithoutAsking();
    }
}

std::optional<PortChoice> CMainFrame::ChooseDriverPort(const SystemInfo& info) {
    return RunSelectDriverPortDialog(this, info);
}

void CMainFrame::ReplayTick() {
    const std::optional<uint64_t> next = app_.ReplayStep();
    if (!next) {
        UpdateCommandStates();
        return;
    }
    // At the millisecond the next frame is due (a precise timer), or at once when it is.
    const uint64_t now = app_.ReplayNowNs();
    const uint64_t waitMs = *next > now ? (*next - now) / 1'000'000 : 0;
    replay_.start(static_cast<int>(std::min<uint64_t>(waitMs, 1000)));
}

void CMainFrame::PollTick() {
    // A message box shown by a poll step (a macro's STOP) runs its own event loop, in which
    // this timer fires again: the step under way finishes first.
    if (polling_) {
        return;
    }
    polling_ = true;
    QElapsedTimer tick;
    tick.start();
    for (int i = 0; i < kPollsPerTick && app_.Capturing(); ++i) {
        app_.PollStep();
        if (app_.LastPollIdle() || tick.elapsed() >= kPollTickMs) {
            break;
        }
    }
    polling_ = false;
    poll_.setInterval(app_.LastPollIdle() ? kIdleRestMs : 0);
}

}  // namespace qorval::analyser
