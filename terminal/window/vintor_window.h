#pragma once
// The terminal's main window "Vintor": menus, the main and modem toolbars, the status bar and the
// text area over a TerminalSession. It shows and routes; the session does the work.
//
// Everything runs on the window's thread. Long commands (transfers) dispatch pending events
// between their steps, so the window stays alive while they run; a close asked for meanwhile
// cancels the command and happens once it has returned.

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/window/qt_user_messages.h"
#include "terminal/terminal_session.h"

class QAction;
class QToolBar;

namespace qorval::ui {
class QtProgressWindow;
}

namespace qorval::terminal::window {

class TerminalTextArea;

class VintorWindow final : public QMainWindow, public WindowHooks {
    Q_OBJECT
  public:
    explicit VintorWindow(QWidget* parent = nullptr);
    ~VintorWindow() override;

    TerminalSession& Session() { return *session_; }
    TerminalTextArea& TextArea() { return *text_; }
    ui::QtProgressWindow& Progress() { return *progress_; }
    // At most this many received bytes are taken in one polling tick.
    static constexpr size_t kPollBudget = 1 << 20;
    static constexpr int kPollIntervalMs = 100;

    // Says how to start the driver host when it cannot be reached.
    void CheckDriverHost();

    // WindowHooks
    bool ShowOpenPortDialog(Qorval_Port& port) override;
    void EnableMainWindow(bool enable) override;
    void FocusTextArea() override;
    bool StartPollTimer() override;
    void StopPollTimer() override;
    void SetTitle(std::string_view title) override;
    void ShowModemLines(uint16_t word) override;
    void PortClosed() override;
    std::optional<Protocol> ChooseProtocol() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class ProgressProxy;
    void BuildMenus();
    void BuildToolbars();
    // Runs one menu command; menus, toolbars and text follow what it changed.
    void Run(const std::function<void()>& command);
    void UpdateCommands();
    void OnPollTimer();
    void OnProgramOptions();
    void OnSettings();
    void OnAbout();
    void OnModemButton(QAction* button, bool rts);
    bool Busy() const { return polling_ || commands_running_ > 0; }

    ui::QtUserMessages messages_;
    std::unique_ptr<ProgressProxy> progress_proxy_;
    TerminalTextArea* text_;
    std::unique_ptr<TerminalSession> session_;
    ui::QtProgressWindow* progress_ = nullptr;
    QTimer poll_timer_;
    bool polling_ = false;
    int commands_running_ = 0;
    bool close_pending_ = false;

    QToolBar* main_toolbar_ = nullptr;
    QToolBar* modem_toolbar_ = nullptr;
    QAction* open_log_ = nullptr;
    QAction* close_log_ = nullptr;
    QAction* transmit_text_ = nullptr;
    QAction* transmit_bin_ = nullptr;
    QAction* receive_bin_ = nullptr;
    QAction* port_open_ = nullptr;
    QAction* settings_ = nullptr;
    QAction* dtr_ = nullptr;
    QAction* rts_ = nullptr;
    QAction* cts_ = nullptr;
    QAction* dsr_ = nullptr;
    QAction* dcd_ = nullptr;
    QAction* ri_ = nullptr;
};

}  // namespace qorval::terminal::window
