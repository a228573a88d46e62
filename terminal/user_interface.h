#pragma once
// What the terminal engine's transfers report through, and the texts several commands share.
// The window implements the user interface with widgets; the command line and the tests with
// plain text.

#include <functional>
#include <string>
#include <string_view>

#include "platform/user_messages.h"
#include "terminal/port_watch.h"

namespace qorval::terminal {

// Message boxes, the status bar and the progress window are the suite's shared ones.
using ui::CancelFlag;
using ui::ProgressWindow;
using ui::UserMessages;

// Lets the window handle its pending messages between the steps of a long operation.
using DispatchMessages = std::function<void()>;

// Everything a transfer or a text-file send reports through.
struct TransferUi {
    UserMessages& messages;
    ProgressWindow& progress;
    CancelFlag& cancel;
    DispatchMessages dispatch;
    // Sees the port go away (and then sets the cancel flag); none in some engine tests.
    PortWatch* watch = nullptr;

    void Dispatch() const {
        if (dispatch) {
            dispatch();
        }
    }
    // After a request failed with `result`: whether the port has gone (the transfer is then
    // cancelled).
    bool PortGone(uint32_t result) const { return watch != nullptr && watch->Check(result); }
    bool Cancelled() const { return cancel.load(std::memory_order_relaxed); }
    // Closes the progress window the way its Cancel button does: the cancel flag is set.
    void CloseProgressAsCancel() const {
        if (!Cancelled()) {
            progress.Close();
            cancel.store(true, std::memory_order_relaxed);
        }
    }
};

// Texts shown by more than one command.
inline constexpr const char* kCaption = "Vintor";  // every message box
inline constexpr const char* kFileOpenFailed = "Unable to open file.";
inline constexpr const char* kFileReadFailed = "Error reading from file.";

// Formats like snprintf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qorval::terminal
