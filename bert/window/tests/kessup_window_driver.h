#pragma once
// Driving the tester's window as a user would, for its tests and its benchmark: the buttons by
// their object names, the shared dialogs answered from inside their event loops, and waits on
// what the window shows (the bound is a guard against a hang, never the expected path).

#include <QString>

namespace qorval::bert::window {
class KessupWindow;
}

namespace qorval::bert::window::testing {

// The text of a label, or the caption of a button or check box, by object name.
QString Shown(const KessupWindow& window, const char* name);
void Click(KessupWindow& window, const char* name);
// "Open ..." with the Open Port dialog answered: the port list's row `portRow` (0 is
// "Port001") chosen, then "Open". True when the port button then reads "Close".
bool OpenThroughDialog(KessupWindow& window, int portRow);
// Runs the event loop until the window's "Status:" shows `status`.
bool WaitForStatus(const KessupWindow& window, const char* status, int boundMs = 60000);

}  // namespace qorval::bert::window::testing
