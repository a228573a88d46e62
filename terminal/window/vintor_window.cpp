#include "terminal/window/vintor_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "dialogs/orvane.h"
#include "platform/window/qt_progress_window.h"
#include "platform/window/responsive_call.h"
#include "terminal/menu_rules.h"
#include "terminal/window/options_dialog.h"
#include "terminal/window/protocol_selection_dialog.h"
#include "terminal/window/terminal_text_area.h"
#include "terminal/window/window_texts.h"

namespace qorval::terminal::window {

// The session is made before the progress window, which needs the session's cancel flag.
class VintorWindow::ProgressProxy final : public ProgressWindow {
  public:
    ui::QtProgressWindow* target = nullptr;
    void Open(std::string_view caption, std::string_view text) override {
        target->Open(caption, text);
    }
    void SetPercent(int percent) override { target->SetPercent(percent); }
    void SetText(std::string_view text) override { target->SetText(text); }
    void Close() override { target->Close(); }
};

VintorWindow::VintorWindow(QWidget* parent)
    : QMainWindow(parent),
      messages_(this),
      progress_proxy_(std::make_unique<ProgressProxy>()),
      text_(new TerminalTextArea(this)) {
    setObjectName("vintorWindow");
    setCentralWidget(text_);
    session_ = std::make_unique<TerminalSession>(
        messages_, *progress_proxy_, *this, *text_,
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    // Closing a port with a full ring waits for its frames to leave; the window goes on
    // painting meanwhile.
    session_->SetCloseRunner(ui::RunKeepingWindowsAlive);
    progress_ = new ui::QtProgressWindow(session_->Cancel(), this);
    progress_proxy_->target = progress_;
    messages_.SetStatusBar(statusBar());
    text_->OnTyped([this](char c) { session_->TypeChar(c); });

    BuildMenus();
    BuildToolbars();
    setContextMenuPolicy(Qt::NoContextMenu);  // the toolbars are shown and hidden from "View"
    SetTitle(session_->Title());
    resize(720, 480);

    poll_timer_.setObjectName("pollTimer");  // timer 2002
    connect(&poll_timer_, &QTimer::timeout, this, &VintorWindow::OnPollTimer);
    StartPollTimer();
    UpdateCommands();
}

VintorWindow::~VintorWindow() {
    poll_timer_.stop();
    // No events for a window being destroyed: a port still open is closed right here.
    session_->SetCloseRunner(nullptr);
    session_->Shutdown();
}

void VintorWindow::CheckDriverHost() {
    session_->CheckDriverHost();
}

void VintorWindow::Run(const std::function<void()>& command) {
    ++commands_running_;
    command();
    --commands_running_;
    text_->Flush();
    UpdateCommands();
    if (close_pending_ && !Busy()) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void VintorWindow::UpdateCommands() {
    const CommandAvailability a =
        AvailableCommands(session_->Port().IsOpen(), session_->Logging());
    open_log_->setEnabled(a.open_log);
    close_log_->setEnabled(a.close_log);
    transmit_text_->setEnabled(a.transmit_text);
    transmit_bin_->setEnabled(a.transmit_bin);
    receive_bin_->setEnabled(a.receive_bin);
    settings_->setEnabled(a.settings);
    port_open_->setText(a.port_item);
    for (QAction* button : {dtr_, rts_, cts_, dsr_, dcd_, ri_}) {
        button->setEnabled(a.modem_buttons);
    }
}

void VintorWindow::OnPollTimer() {
    if (polling_) {
        return;  // a tick's own dispatching let the next tick in
    }
    polling_ = true;
    session_->PollTick(kPollBudget);
    text_->Flush();
    polling_ = false;
    if (close_pending_ && !Busy()) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void VintorWindow::OnProgramOptions() {
    OptionsDialog dialog(session_->Echo(), session_->DownloadDirectory(), messages_, this);
    if (dialog.exec() == QDialog::Accepted) {
        session_->SetEcho(dialog.Echo());
        session_->SetDownloadDirectory(dialog.DownloadDirectory());
    }
}

void VintorWindow::OnSettings() {
    PortStateDialog(&session_->Port()).ShowDialog();
}

void VintorWindow::OnAbout() {
    ui::ShowInformation(messages_, kAboutText, kAboutCaption);
}

void VintorWindow::OnModemButton(QAction* button, bool rts) {
    // The button shows the line's last polled state until the next poll reads it again.
    const bool shown_pressed = !button->isChecked();
    button->setChecked(shown_pressed);
    if (rts) {
        session_->RtsButton(shown_pressed);
    } else {
        session_->DtrButton(shown_pressed);
    }
}

bool VintorWindow::ShowOpenPortDialog(Qorval_Port& port) {
    return OpenPortDialog(&port).ShowDialog() == 1;
}

void VintorWindow::EnableMainWindow(bool enable) {
    // The window's own controls; the progress window, a window of its own, stays usable.
    menuBar()->setEnabled(enable);
    main_toolbar_->setEnabled(enable);
    modem_toolbar_->setEnabled(enable);
    text_->setEnabled(enable);
}

void VintorWindow::FocusTextArea() {
    text_->setFocus();
}

bool VintorWindow::StartPollTimer() {
    poll_timer_.start(kPollIntervalMs);
    return poll_timer_.isActive();
}

void VintorWindow::StopPollTimer() {
    poll_timer_.stop();
}

void VintorWindow::SetTitle(std::string_view title) {
    setWindowTitle(ui::ToQString(title));
}

void VintorWindow::PortClosed() {
    UpdateCommands();
}

void VintorWindow::ShowModemLines(uint16_t word) {
    dtr_->setChecked(word & 0x01);
    rts_->setChecked(word & 0x02);
    cts_->setChecked(word & 0x40);
    dsr_->setChecked(word & 0x10);
    dcd_->setChecked(word & 0x20);
    ri_->setChecked(word & 0x80);
}

std::optional<Protocol> VintorWindow::ChooseProtocol() {
    return ProtocolSelectionDialog::Ask(this);
}

void VintorWindow::closeEvent(QCloseEvent* event) {
    if (Busy()) {
        // Stop what runs (as the progress window's Cancel does) and close once it has returned.
        close_pending_ = true;
        if (progress_->isVisible()) {
            static_cast<QDialog*>(progress_)->reject();
        } else {
            session_->CancelTransfer();
        }
        event->ignore();
        return;
    }
    close_pending_ = false;
    session_->Shutdown();
    progress_->hide();
    event->accept();
}

}  // namespace qorval::terminal::window
