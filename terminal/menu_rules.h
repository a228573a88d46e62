#pragma once
// Which of the terminal's commands are available, from the port and the log, and the port item's
// changing text. The window's menus and toolbars follow this on every change.

namespace qorval::terminal {

struct CommandAvailability {
    bool open_log = false;       // "&Open Log File..."
    bool close_log = false;      // "&Close Log File"
    bool transmit_text = false;  // "Transmit &Text File..."
    bool transmit_bin = false;   // "Transmit &Bin File..."
    bool receive_bin = false;    // "&Receive Bin File..."
    bool settings = false;       // "&Settings..."
    bool modem_buttons = false;  // the modem toolbar's six buttons
    const char* port_item = "";  // "Port &Open..." or "&Port Close"
};

CommandAvailability AvailableCommands(bool port_open, bool logging);

}  // namespace qorval::terminal
