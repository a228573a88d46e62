// The analyser's dialogs. Each function runs its dialog modally over `parent` and applies what
// the user accepted through the engine: the settings through CAnalyserApp, the port commands
// through analyser/port_control.h, whose messages and status texts reach the user through the
// application's AnalyserUi. The dialogs' own boxes (an entry that is refused) and their file
// choices (Browse) go through `messages`.
//
// The six port command dialogs first check that a port is selected; when none is, the engine
// shows "Driver and Port have not been selected!..." and no dialog opens, so a menu command can
// call them without checking itself.
#pragma once

#include <optional>

#include "analyser/user_interface.h"
#include "portaccess/qorval32.h"

class QWidget;

namespace qorval::ui {
class UserMessages;
}

namespace qorval::analyser {

class CAnalyserApp;

// "Select Driver and Port" over the drivers and ports of `info`: the chosen driver type and
// port number, or nullopt for Cancel. The lists start on the last present driver and its last
// present port, whatever port is open now, so no current choice is passed; the main window
// implements AnalyserUi::ChooseDriverPort with this function and CAnalyserApp::SelectDriverPort
// opens the port.
std::optional<PortChoice> RunSelectDriverPortDialog(QWidget* parent, const SystemInfo& info);

// "Logging Options": OK stores the log file name and raw logging and turns logging off.
void RunLoggingOptionsDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);

// "Set Data Send Options": OK, or Cancel after a Browse that chose a file, stores the options,
// stops transmission and parses the macro when it is to be executed.
void RunSendOptionsDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);

// "Replay Capture": a capture file and the frames' timing; OK starts the replay onto the
// selected port. True when a replay started (the main window then steps it).
bool RunReplayDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);

// The port commands.
void RunDeviceInfoDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);
void RunNodeAddressDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);
void RunResetBuffersDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);
void RunModemControlDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);
void RunPortStateDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);
void RunTransmitCharDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages);

}  // namespace qorval::analyser
