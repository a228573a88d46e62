#include "analyser/port_state_variable.h"

namespace qorval::analyser {

void SetPortStateVariable(PortState& state, int16_t variable, int16_t value) {
    const auto low = static_cast<uint8_t>(value);
    switch (variable) {
        case 1:
            state.rxTimeout = static_cast<uint32_t>(static_cast<int32_t>(value));
            break;
        case 2:
            state.txTimeout = static_cast<uint32_t>(static_cast<int32_t>(value));
            break;
        case 3:
            state.divisor = static_cast<uint16_t>(value);
            break;
        case 4:
            state.clockMultiplier = low;
            break;
        case 5:
            state.dataBits = low;
            break;
        case 6:
            state.stopBits = low;
            break;
        case 7:
            state.parity = low;
            break;
        case 8:
            state.txClock = low;
            break;
        case 9:
            state.rxClock = low;
            break;
        case 10:
            state.brgSource = low;
            break;
        case 11:
            state.loopback = low;
            break;
        case 12:
            state.rs485 = low;
            break;
        default:
            break;
    }
}

}  // namespace qorval::analyser
