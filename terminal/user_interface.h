#pragma once
// The small interfaces through which the terminal engine talks to its user. The window
// implements them with widgets; the command line and the tests with plain text.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace qorval::terminal {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Message boxes and the status bar.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    virtual void SetStatusText(std::string_view text) = 0;
};

// The progress window: a caption, a text, a bar and a Cancel button. The Cancel button sets
// the engine's cancel flag and takes the window away itself, so the engine closes the window
// only while the flag is clear.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    virtual void Open(std::string_view caption, std::string_view text) = 0;  // at 0 percent
    virtual void SetPercent(int percent) = 0;
    virtual void SetText(std::string_view text) = 0;
    virtual void Close() = 0;
};

// Set by the progress window's Cancel button (or an interrupt on the command line); read by
// running transfers.
using CancelFlag = std::atomic<bool>;

// Lets the window handle its pending messages between the steps of a long operation.
using DispatchMessages = std::function<void()>;

// Everything a transfer or a text-file send reports through.
struct TransferUi {
    MessageSink& messages;
    ProgressWindow& progress;
    CancelFlag& cancel;
    DispatchMessages dispatch;

    void Dispatch() const {
        if (dispatch) {
            dispatch();
        }
    }
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
