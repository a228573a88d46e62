#pragma once
// The tester's window "Kessup": a dialog window over BertSession. It routes the buttons and
// check boxes to the session, runs the shared port dialogs on the session's port object, and
// shows the session's texts on its 100 ms timer. The About box is in the window's context menu
// and on F1.

#include <QDialog>
#include <filesystem>

#include "bert/bert_session.h"
#include "bert/window/kessup_controls.h"
#include "platform/window/qt_user_messages.h"

class QAction;

namespace qorval::bert::window {

class KessupWindow : public QDialog {
    Q_OBJECT
  public:
    // `diskDirectory`: where "Disk Thread" writes its file.
    explicit KessupWindow(std::filesystem::path diskDirectory = ".", QWidget* parent = nullptr);
    ~KessupWindow() override;

    // As the window opens: the 100 ms timer, then a word when no driver host answers. False,
    // after telling the user, when no timer could be had; the program then quits.
    bool Initialise();

    const BertSession& Session() const { return session_; }
    const KessupControls& Controls() const { return controls_; }
    QAction* AboutAction() const { return about_; }

  protected:
    // Starts the refresh timer; its id, or 0 when none could be had.
    virtual int StartRefreshTimer();
    void timerEvent(QTimerEvent* event) override;
    // Exit, Escape and closing the window all end here: the workers stop, the port closes.
    void done(int result) override;

  private:
    void Connect();
    void OnPortButton();
    void OnStartStop();
    void OnState();
    void OnResetStats();
    void OnRepeatMode(bool on);
    void OnDiskThread(bool on);
    void OnAbout();
    void OpenPort();
    void ShowControls();
    void ShowDisplay();

    BertSession session_;
    ui::QtUserMessages messages_{this};
    KessupControls controls_;
    QAction* about_;
    int timerId_ = 0;
};

}  // namespace qorval::bert::window
