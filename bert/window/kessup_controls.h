#pragma once
// The controls of the tester's window, grouped as the user sees them, and the layout that
// places them. The window routes their signals to the session and refreshes their texts.

#include <QString>

class QCheckBox;
class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qorval::bert::window {

struct KessupControls {
    // "Transmit", "Port" and the buttons below "Test Time".
    QPushButton* startButton;
    QPushButton* portButton;
    QPushButton* stateButton;
    QLabel* testTime;
    QPushButton* resetStatsButton;
    QCheckBox* repeatMode;
    QCheckBox* diskThread;
    QPushButton* exitButton;
    // "Tx/Rx Statistics".
    QLabel *txFrames, *rxFrames, *bytesChecked, *bitErrors, *overrunErrors, *crcErrors,
        *lineErrors, *otherErrors, *syncLosses;
    QLabel *txRate, *rxRate;
    QLabel* status;
    // "Buffer Statistics".
    QLabel *txBuffers, *rxBuffers;
    QProgressBar *txBufferBar, *rxBufferBar;
};

// Makes every control in `window`'s layout, each with an object name of its field
// ("startButton", "txFrames", "rxBufferBar", ...), and returns them.
KessupControls BuildKessupControls(QDialog& window);

}  // namespace qorval::bert::window
