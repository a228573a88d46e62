// CSplashDlg: the start-up window over the main window with the logo and the version line. It
// goes 5000 ms after it was shown, or at the first key or mouse button press anywhere in the
// program.
#pragma once

#include <QDialog>
#include <QTimer>

namespace qorval::analyser {

class CSplashDlg : public QDialog {
  public:
    static constexpr int kShowMs = 5000;

    explicit CSplashDlg(QWidget* parent, int showMs = kShowMs);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QTimer timer_;
};

// Shows a splash over `parent` that deletes itself when it goes.
CSplashDlg* ShowSplash(QWidget* parent, int showMs = CSplashDlg::kShowMs);

}  // namespace qorval::analyser
