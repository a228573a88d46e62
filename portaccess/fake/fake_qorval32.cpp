// The QORVAL_* functions of the fake library, acting on the model in fake_state.h.

#include <algorithm>
#include <cstring>
#include <string>

#include "portaccess/fake/fake_state.h"
#include "portaccess/qorval32.h"

using qorval::fake::FakeFrame;
using qorval::fake::FakeLibrary;
using qorval::fake::FakePort;
using qorval::fake::FakeState;
using qorval::fake::SentFrame;

namespace {

// PortInfo as the adapter driver fills it.
constexpr uint32_t kCapabilityMask = 0x0001FE10;
constexpr uint16_t kCardPci = 13;
constexpr uint16_t kCrcMode = 4;
constexpr uint16_t kChip = 2;
constexpr char kOscillator[] = "20.000";
constexpr uint16_t kNoDmaChannel = 0xFFFF;

constexpr const char* kDriverNames[QORVAL_MAX_DRIVERS] = {"HESTABE5", "FENDAR5", "GORLIN5",
                                                          "WYVEL32"};

FakeState& State() {
    return FakeLibrary::Instance().State();
}

std::string Arg(QORVAL_HANDLE handle) {
    return std::to_string(handle);
}

uint16_t TxFree(const FakePort& port) {
    return port.txFreeForced.value_or(port.spec.tx_buffers);
}

// The modem inputs a port sees: its peer's outputs crossed (its own on a loopback), plus the
// bits the test set.
uint16_t ModemInputs(FakeState& s, const FakePort& port) {
    uint16_t bits = port.modemInputs;
    if (port.peer) {
        const FakePort* far = s.ByKey(*port.peer);
        if (far != nullptr) {
            if (far->modemOutputs & QORVAL_MODEM_DTR) {
                bits |= QORVAL_MODEM_DSR | QORVAL_MODEM_DCD;
            }
            if (far->modemOutputs & QORVAL_MODEM_RTS) {
                bits |= QORVAL_MODEM_CTS;
            }
        }
    }
    return bits;
}

}  // namespace

extern "C" {

uint32_t QORVAL_GetSystemInfo(SystemInfo* info) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, "")) {
        return *failed;
    }
    if (info == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    std::memset(info, 0, sizeof(*info));
    for (uint16_t d = 0; d < QORVAL_MAX_DRIVERS; ++d) {
        SystemInfoDriver& entry = info->drivers[d];
        entry.driverType = d;
        std::strncpy(entry.name, kDriverNames[d], sizeof(entry.name) - 1);
    }
    for (const auto& [key, port] : s.ports) {
        auto [driver, number] = key;
        if (driver >= QORVAL_MAX_DRIVERS) {
            continue;
        }
        SystemInfoDriver& entry = info->drivers[driver];
        if (!entry.present) {
            entry.present = 1;
            info->driverCount++;
        }
        if (number >= 1 && number <= QORVAL_MAX_PORTS_PER_DRIVER) {
            SystemInfoPort& p = entry.ports[number - 1];
            std::snprintf(p.name, sizeof(p.name), "Port%03u", static_cast<unsigned>(number));
            p.present = 1;
            entry.portCount++;
        }
    }
    return QORVAL_OK;
}

uint32_t QORVAL_PortOpen(uint16_t driverType, uint16_t portNumber, QORVAL_HANDLE* handle) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed =
            s.Enter(__func__, std::to_string(driverType) + "," + std::to_string(portNumber))) {
        return *failed;
    }
    if (handle == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    bool driverPresent = std::any_of(s.ports.begin(), s.ports.end(),
                                     [&](const auto& p) { return p.first.first == driverType; });
    if (!driverPresent) {
        return QORVAL_INVALID_DRIVER_TYPE;
    }
    FakePort* port = s.ByKey({driverType, portNumber});
    if (port == nullptr) {
        return QORVAL_PORT_NUMBER;
    }
    if (port->handle != 0) {
        return QORVAL_SHARING_VIOLATION;
    }
    port->handle = s.nextHandle++;
    s.handles[port->handle] = {driverType, portNumber};
    *handle = port->handle;
    return QORVAL_OK;
}

uint32_t QORVAL_PortClose(QORVAL_HANDLE handle) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    s.handles.erase(handle);
    port->handle = 0;
    port->modemOutputs = 0;
    return QORVAL_OK;
}

uint32_t QORVAL_GetPortInfo(QORVAL_HANDLE handle, PortInfo* info) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (info == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    std::memset(info, 0, sizeof(*info));
    const uint16_t channel = static_cast<uint16_t>(port->spec.port - 1);
    info->capabilities = kCapabilityMask;
    info->ioBase = static_cast<uint16_t>(0xE000 + 0x20 * channel);
    info->memoryBase = 0xFEB0;
    info->txDmaChannel = kNoDmaChannel;
    info->rxDmaChannel = kNoDmaChannel;
    info->irq = 11;
    info->maxTxFrame = port->spec.max_tx_frame;
    info->maxRxFrame = port->spec.max_rx_frame;
    info->txBuffers = port->spec.tx_buffers;
    info->rxBuffers = port->spec.rx_buffers;
    info->cardType = kCardPci;
    info->channel = channel;
    info->nodeAddress = port->state.nodeAddress;
    info->crcMode = kCrcMode;
    info->chip = kChip;
    std::memcpy(info->oscillator, kOscillator, sizeof(kOscillator));
    return QORVAL_OK;
}

uint32_t QORVAL_GetPortState(QORVAL_HANDLE handle, PortState* state) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (state == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    s.Arrive(*port);
    *state = port->state;
    return QORVAL_OK;
}

uint32_t QORVAL_SetPortState(QORVAL_HANDLE handle, const PortState* state) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (state == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    // The settable fields only, as the driver takes them; reprogramming drops the rings.
    PortState& st = port->state;
    st.divisor = state->divisor;
    st.nodeAddress = state->nodeAddress;
    st.crcPreset = state->crcPreset;
    st.dpll = state->dpll;
    st.txClock = state->txClock;
    st.rxClock = state->rxClock;
    st.brgSource = state->brgSource;
    st.loopback = state->loopback;
    st.rs485 = state->rs485;
    s.Arrive(*port);
    port->waiting.clear();
    return QORVAL_OK;
}

uint32_t QORVAL_GetData(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (length != nullptr) {
        *length = 0;
    }
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (length == nullptr || (buffer == nullptr && size != 0)) {
        return QORVAL_INVALID_PARAMETER;
    }
    s.Arrive(*port);
    if (port->waiting.empty()) {
        return QORVAL_OK;
    }
    FakeFrame& frame = port->waiting.front();
    if (frame.bytes.size() > size) {
        return QORVAL_BUFFER_ERROR;
    }
    std::copy(frame.bytes.begin(), frame.bytes.end(), buffer);
    *length = static_cast<uint32_t>(frame.bytes.size());
    uint32_t result = frame.result;
    port->waiting.pop_front();
    return result;
}

uint32_t QORVAL_PutData(QORVAL_HANDLE handle, const uint8_t* data, uint32_t length) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (length > port->spec.max_tx_frame || (data == nullptr && length != 0)) {
        return QORVAL_INVALID_PARAMETER;
    }
    if (length == 0) {
        return QORVAL_OK;
    }
    if (TxFree(*port) == 0) {
        return QORVAL_NO_TX_BUFFER;
    }
    const uint32_t now = s.nowMs.load(std::memory_order_relaxed);
    std::vector<uint8_t> bytes(data, data + length);
    port->state.txFrames++;
    if (!port->peer) {
        port->sent.push_back(SentFrame{std::move(bytes), now});
        return QORVAL_OK;
    }
    FakePort* far = s.ByKey(*port->peer);
    if (far == nullptr) {
        port->dropped++;  // the peer was removed: the frame is lost on the line
        return QORVAL_OK;
    }
    s.Arrive(*far);
    if (far->handle == 0 || far->waiting.size() >= far->spec.rx_buffers) {
        far->dropped++;
        return QORVAL_OK;
    }
    FakeState::Receive(*far, FakeFrame{std::move(bytes), now, QORVAL_OK});
    return QORVAL_OK;
}

uint32_t QORVAL_GetBufferCount(QORVAL_HANDLE handle, uint16_t* framesWaiting,
                               uint16_t* txBuffersFree) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (framesWaiting == nullptr || txBuffersFree == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    s.Arrive(*port);
    *framesWaiting = static_cast<uint16_t>(std::min<size_t>(port->waiting.size(), 0xFFFF));
    *txBuffersFree = TxFree(*port);
    return QORVAL_OK;
}

uint32_t QORVAL_ResetBuffers(QORVAL_HANDLE handle, uint16_t mask) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (mask < QORVAL_RESET_RECEIVE || mask > QORVAL_RESET_BOTH) {
        return QORVAL_INVALID_PARAMETER;
    }
    if (mask & QORVAL_RESET_RECEIVE) {
        s.Arrive(*port);
        port->waiting.clear();
    }
    // Frames put are delivered at once, so the transmit side holds nothing to drop.
    return QORVAL_OK;
}

uint32_t QORVAL_GetModemControl(QORVAL_HANDLE handle, uint16_t* modemControl) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (modemControl == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    *modemControl = static_cast<uint16_t>(port->modemOutputs | ModemInputs(s, *port));
    return QORVAL_OK;
}

uint32_t QORVAL_SetModemControl(QORVAL_HANDLE handle, uint16_t modemControl) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    // Only DTR and RTS are driven; the loopback bits are ignored as by the driver.
    port->modemOutputs = modemControl & (QORVAL_MODEM_DTR | QORVAL_MODEM_RTS);
    return QORVAL_OK;
}

uint32_t QORVAL_SetNodeAddress(QORVAL_HANDLE handle, uint8_t address) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    port->state.nodeAddress = address;
    return QORVAL_OK;
}

uint32_t QORVAL_TransmitCommChar(QORVAL_HANDLE handle, uint8_t /*character*/) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(__func__, Arg(handle))) {
        return *failed;
    }
    if (s.ByHandle(handle) == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    return QORVAL_NOT_SUPPORTED;
}

}  // extern "C"
