// The one way the analyser engine talks to the user. The window implements it with message
// boxes, a status bar, menu marks and the capture window; tests record every text letter for
// letter; the command line prints the messages to standard error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/user_messages.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {

// Message boxes, the status bar and file choices are the suite's shared ones.
using ui::Message;
using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;

// The marks and enabled states of the program's own menu entries and toolbar buttons.
struct MenuState {
    bool capturing = false;     // "&Start/Stop Data Capture" marked; New and Open disabled
    bool logging = false;       // "&Enable Logging" marked
    bool transmitting = false;  // "Enable &Transmit" marked
    int displayFormat = 0;      // one of "&ASCII", "&Hex", "&Mixed" marked; other values: none
    bool decodedView = false;   // "&Decoded" marked instead of the three byte formats
};

// The text window that shows the frames while capture runs.
class CaptureView {
  public:
    virtual ~CaptureView() = default;
    // Shows a new frame's lines: in place of the window's text, or after the frames before it
    // in a window that keeps them.
    virtual void SetText(std::string_view text) = 0;
    // Shows the last frame's lines again in place of those shown for it (the display format
    // changed); before any frame was shown, `text` is empty and the window empties.
    virtual void ReplaceLastFrame(std::string_view text) { SetText(text); }
    // A view that buffers what SetText gave it (the command line's standard output) writes it
    // out here: at least every CAnalyserApp::kFlushIntervalMs and when capture stops.
    virtual void Flush() {}
};

// The driver and port chosen in the Select Driver/Port dialog.
struct PortChoice {
    uint16_t driverType = 0;
    uint16_t portNumber = 0;  // 1-based
};

// Beyond message boxes, status text and file choices (ui::UserMessages), the analyser's
// window shows its menu marks, the capture window and the Select Driver/Port dialog.
class AnalyserUi : public ui::UserMessages {
  public:
    virtual void RefreshMenu(const MenuState& state) = 0;
    // Closes every open document window (without asking to save) and opens a fresh capture
    // window; the view stays valid until CloseCaptureWindow or until the window reports its
    // closing to the engine. nullptr when no window could be made (capture runs without one).
    virtual CaptureView* OpenCaptureWindow() = 0;
    virtual void CloseCaptureWindow() = 0;
    // Shows the Select Driver/Port dialog over `info`; nullopt for Cancel.
    virtual std::optional<PortChoice> ChooseDriverPort(const SystemInfo& info) = 0;
};

}  // namespace qorval::analyser
