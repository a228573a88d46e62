#include "bert/window/kessup_window.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>

#include "bert/bert_texts.h"
#include "dialogs/orvane.h"
#include "platform/window/responsive_call.h"
#include "portaccess/driver_host_hint.h"

namespace qorval::bert::window {
namespace {

constexpr int kRefreshMs = 100;

using ui::ToQString;

void ShowText(QLabel* label, const std::string& text) {
    label->setText(ToQString(text));
}

// A bar ranged by a buffer count; a port that reports no buffers keeps the range it had, as a
// bar of range 0 would show a busy animation instead of a level.
void ShowBar(QProgressBar* bar, int range, int value) {
    if (range > 0 && bar->maximum() != range) {
        bar->setRange(0, range);
    }
    bar->setValue(value);
}

}  // namespace

KessupWindow::KessupWindow(std::filesystem::path diskDirectory, QWidget* parent)
    : QDialog(parent),
      session_(std::move(diskDirectory)),
      controls_(BuildKessupControls(*this)),
      about_(new QAction(text::kAboutMenuItem, this)) {
    setObjectName("kessupWindow");
    setWindowTitle(text::kCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The system menu of this window is the window manager's; the About item lives in the
    // window's own context menu instead, and on F1.
    about_->setShortcut(QKeySequence(Qt::Key_F1));
    about_->setShortcutContext(Qt::WindowShortcut);
    addAction(about_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // Closing a port with a full ring waits for its frames to leave; the window goes on
    // painting meanwhile.
    session_.SetCloseRunner(ui::RunKeepingWindowsAlive);
    Connect();
    ShowControls();
    ShowDisplay();
}

KessupWindow::~KessupWindow() {
    // No events for a window being destroyed: a port still open is closed right here.
    session_.SetCloseRunner(nullptr);
    session_.Shutdown();
}

void KessupWindow::Connect() {
    const KessupControls& c = controls_;
    connect(c.portButton, &QPushButton::clicked, this, &KessupWindow::OnPortButton);
    connect(c.startButton, &QPushButton::clicked, this, &KessupWindow::OnStartStop);
    connect(c.stateButton, &QPushButton::clicked, this, &KessupWindow::OnState);
    connect(c.resetStatsButton, &QPushButton::clicked, this, &KessupWindow::OnResetStats);
    // `clicked` comes from the user only, so showing a state never runs a command.
    connect(c.repeatMode, &QCheckBox::clicked, this, &KessupWindow::OnRepeatMode);
    connect(c.diskThread, &QCheckBox::clicked, this, &KessupWindow::OnDiskThread);
    connect(c.exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(about_, &QAction::triggered, this, &KessupWindow::OnAbout);
}

bool KessupWindow::Initialise() {
    timerId_ = StartRefreshTimer();
    if (timerId_ == 0) {
        ui::ShowError(messages_, text::kNoTimers, text::kCaption);
        return false;
    }
    // The ports live in the driver host: without one, "Open ..." could only show empty lists.
    if (SystemInfo info{}; session_.Port().GetSystemInfo(info) != QORVAL_OK) {
        ui::ShowWarning(messages_, DriverHostHint(), text::kCaption);
    }
    return true;
}

int KessupWindow::StartRefreshTimer() {
    return startTimer(kRefreshMs, Qt::PreciseTimer);
}

void KessupWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_ || timerId_ == 0) {
        QDialog::timerEvent(event);
        return;
    }
    session_.Tick();
    const std::optional<std::string> lost = session_.TakePortLossMessage();
    if (lost) {
        ShowControls();  // the port is closed: "Open ..." again
    }
    ShowDisplay();
    if (lost) {
        // The box runs its own event loop; the timer goes on ticking on a closed port meanwhile.
        ui::ShowWarning(messages_, *lost, text::kCaption);
    }
}

void KessupWindow::done(int result) {
    session_.Shutdown();
    ShowControls();
    ShowDisplay();
    QDialog::done(result);
}

void KessupWindow::OnPortButton() {
    if (session_.IsPortOpen()) {
        session_.ClosePort();
    } else {
        OpenPort();
    }
    ShowControls();
    ShowDisplay();
}

void KessupWindow::OpenPort() {
    OpenPortDialog dialog(&session_.Port());
    if (dialog.ShowDialog() != 1) {
        return;
    }
    if (session_.OpenPort() != QORVAL_OK) {
        ui::ShowWarning(messages_, text::kFailureOpeningPort, text::kCaption);
    }
}

void KessupWindow::OnStartStop() {
    if (const auto message = session_.StartStop()) {
        ui::ShowWarning(messages_, *message, text::kCaption);
    }
    ShowControls();
}

void KessupWindow::OnState() {
    session_.RunPortStateDialog([](Qorval_Port& port) { PortStateDialog(&port).ShowDialog(); });
    ShowControls();
    ShowDisplay();
}

void KessupWindow::OnResetStats() {
    session_.ResetStats();
    ShowDisplay();
}

void KessupWindow::OnRepeatMode(bool on) {
    session_.SetRepeatMode(on);
    ShowControls();
}

void KessupWindow::OnDiskThread(bool on) {
    session_.SetDiskThread(on);
    ShowControls();
}

void KessupWindow::OnAbout() {
    ui::ShowInformation(messages_, text::kAboutText, text::kAboutCaption);
}

void KessupWindow::ShowControls() {
    const KessupControls& c = controls_;
    c.portButton->setText(ToQString(session_.PortButtonCaption()));
    c.startButton->setText(ToQString(session_.TransmitButtonCaption()));
    c.startButton->setEnabled(session_.StartEnabled());
    c.stateButton->setEnabled(session_.StateEnabled());
    c.diskThread->setEnabled(session_.DiskEnabled());
    c.diskThread->setChecked(session_.DiskChecked());
    c.repeatMode->setChecked(session_.RepeatMode());
}

void KessupWindow::ShowDisplay() {
    const KessupControls& c = controls_;
    const BertDisplay& d = session_.Display();
    ShowText(c.testTime, d.testTime);
    ShowText(c.txFrames, d.txFrames);
    ShowText(c.rxFrames, d.rxFrames);
    ShowText(c.bytesChecked, d.bytesChecked);
    ShowText(c.bitErrors, d.bitErrors);
    ShowText(c.overrunErrors, d.overrunErrors);
    ShowText(c.crcErrors, d.crcErrors);
    ShowText(c.lineErrors, d.lineErrors);
    ShowText(c.otherErrors, d.otherErrors);
    ShowText(c.syncLosses, d.syncLosses);
    ShowText(c.txRate, d.txRate);
    ShowText(c.rxRate, d.rxRate);
    ShowText(c.status, d.status);
    ShowText(c.txBuffers, d.txBuffers);
    ShowText(c.rxBuffers, d.rxBuffers);
    ShowBar(c.txBufferBar, d.txBufferRange, d.txBufferBar);
    ShowBar(c.rxBufferBar, d.rxBufferRange, d.rxBufferBar);
}

}  // namespace qorval::bert::window
