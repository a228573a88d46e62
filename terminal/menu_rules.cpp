#include "terminal/menu_rules.h"

namespace qorval::terminal {

CommandAvailability AvailableCommands(bool port_open, bool logging) {
    CommandAvailability a;
    a.open_log = !logging;
    a.close_log = logging;
    a.transmit_text = port_open;
    a.transmit_bin = port_open;
    a.receive_bin = port_open;
    a.settings = port_open;
    a.modem_buttons = port_open;
    a.port_item = port_open ? "&Port Close" : "Port &Open...";
    return a;
}

}  // namespace qorval::terminal
