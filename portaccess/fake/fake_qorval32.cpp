// The QORVAL_* functions of the fake library, acting on the model in fake_state.h.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
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
// A call that takes one number besides the handle logs it too ("QORVAL_ResetBuffers(1,3)").
std::string Arg(QORVAL_HANDLE handle, uint32_t value) {
    return std::to_string(handle) + "," + std::to_string(value);
}

uint16_t TxFree(const FakePort& port) {
    return port.txFreeForced.value_or(port.port_spec.tx_buffers);
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

// Queues one frame on a port (the lock held): onto the peer's receive buffers, or the sent list
// of a port without a peer.
uint32_t PutFrame(FakeState& s, FakePort* port, const uint8_t* data, uint32_t length) {
    if (length > port->port_spec.max_tx_frame || (data == nullptr && length != 0)) {
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
    if (far->handle == 0 || far->waiting.size() >= far->port_spec.rx_buffers) {
        far->dropped++;
        return QORVAL_OK;
    }
    FakeState::Receive(*far, FakeFrame{std::move(bytes), now, QORVAL_OK});
    return QORVAL_OK;
}

// Runs one call on the port of `handle` with the lock held: logs it, advances the clock, gives
// a forced failure or 18 for a handle that is not open.
template <typename Body>
uint32_t WithPortLogged(const char* function, QORVAL_HANDLE handle, std::string args, Body&& body) {
    FakeState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto failed = s.Enter(function, std::move(args))) {
        return *failed;
    }
    if (s.deadHandles.count(handle) != 0) {
        return QORVAL_GENERAL_ERROR;  // the host that served the handle has gone
    }
    FakePort* port = s.ByHandle(handle);
    if (port == nullptr) {
        return QORVAL_INVALID_HANDLE;
    }
    if (port->removed) {
        return QORVAL_PORT_NOT_OPEN;  // the device went away under the handle
    }
    return body(s, port);
}

template <typename Body>
uint32_t WithPort(const char* function, QORVAL_HANDLE handle, Body&& body) {
    return WithPortLogged(function, handle, Arg(handle), std::forward<Body>(body));
}

// QORVAL_GetData and QORVAL_GetDataTimed: the oldest waiting frame and its arrival time.
uint32_t TakeFrame(const char* function, QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size,
                   uint32_t* length, uint64_t* arrivalNs) {
    if (length != nullptr) {
        *length = 0;
    }
    *arrivalNs = 0;
    return WithPort(function, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
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
        *arrivalNs = FakeLibrary::ArrivalNsOf(frame.at_ms);
        uint32_t result = frame.result;
        port->waiting.pop_front();
        return result;
    });
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
    if (s.hostGone) {
        return QORVAL_GENERAL_ERROR;
    }
    // All four driver entries with their port entries, as the real library fills them;
    // present flags for the drivers and ports added to the fake.
    std::memset(info, 0, sizeof(*info));
    info->driverCount = s.reportedDriverCount.value_or(QORVAL_MAX_DRIVERS);
    for (uint16_t d = 0; d < QORVAL_MAX_DRIVERS; ++d) {
        SystemInfoDriver& entry = info->drivers[d];
        entry.driverType = d;
        std::strncpy(entry.name, kDriverNames[d], sizeof(entry.name) - 1);
        entry.portCount = QORVAL_MAX_PORTS_PER_DRIVER;
        for (unsigned p = 0; p < QORVAL_MAX_PORTS_PER_DRIVER; ++p) {
            std::snprintf(entry.ports[p].name, sizeof(entry.ports[p].name), "Port%03u", p + 1);
        }
    }
    for (const auto& [key, port] : s.ports) {
        auto [driver, number] = key;
        if (driver >= QORVAL_MAX_DRIVERS || port.removed) {
            continue;
        }
        SystemInfoDriver& entry = info->drivers[driver];
        entry.present = 1;
        if (number >= 1 && number <= QORVAL_MAX_PORTS_PER_DRIVER) {
            entry.ports[number - 1].present = 1;
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
    if (port == nullptr || port->removed || s.hostGone) {
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
    std::function<void()> wait;
    {
        std::lock_guard lock(State().mutex);
        wait = State().closeWait;
    }
    if (wait) {
        wait();
    }
    {
        // A handle whose host or device has gone still closes, as with the real library.
        FakeState& s = State();
        std::lock_guard lock(s.mutex);
        if (s.deadHandles.erase(handle) != 0) {
            (void)s.Enter(__func__, Arg(handle));
            return QORVAL_OK;
        }
        if (FakePort* port = s.ByHandle(handle); port != nullptr && port->removed) {
            (void)s.Enter(__func__, Arg(handle));
            s.handles.erase(handle);
            port->handle = 0;
            return QORVAL_OK;
        }
    }
    return WithPort(__func__, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
        s.handles.erase(handle);
        port->handle = 0;
        port->modemOutputs = 0;
        return QORVAL_OK;
    });
}

uint32_t QORVAL_GetPortInfo(QORVAL_HANDLE handle, PortInfo* info) {
    return WithPort(__func__, handle, [&](FakeState&, FakePort* port) -> uint32_t {
        if (info == nullptr) {
            return QORVAL_INVALID_PARAMETER;
        }
        if (port->info) {
            *info = *port->info;
            return QORVAL_OK;
        }
        std::memset(info, 0, sizeof(*info));
        const uint16_t channel = static_cast<uint16_t>(port->port_spec.port - 1);
        info->capabilities = kCapabilityMask;
        info->ioBase = static_cast<uint16_t>(0xE000 + 0x20 * channel);
        info->memoryBase = 0xFEB0;
        info->txDmaChannel = kNoDmaChannel;
        info->rxDmaChannel = kNoDmaChannel;
        info->irq = 11;
        info->maxTxFrame = port->port_spec.max_tx_frame;
        info->maxRxFrame = port->port_spec.max_rx_frame;
        info->txBuffers = port->port_spec.tx_buffers;
        info->rxBuffers = port->port_spec.rx_buffers;
        info->cardType = kCardPci;
        info->channel = channel;
        info->nodeAddress = port->state.nodeAddress;
        info->crcMode = kCrcMode;
        info->chip = kChip;
        std::memcpy(info->oscillator, kOscillator, sizeof(kOscillator));
        return QORVAL_OK;
    });
}

uint32_t QORVAL_GetPortState(QORVAL_HANDLE handle, PortState* state) {
    return WithPort(__func__, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
        if (state == nullptr) {
            return QORVAL_INVALID_PARAMETER;
        }
        s.Arrive(*port);
        *state = port->state;
        return QORVAL_OK;
    });
}

uint32_t QORVAL_SetPortState(QORVAL_HANDLE handle, const PortState* state) {
    return WithPort(__func__, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
        if (state == nullptr) {
            return QORVAL_INVALID_PARAMETER;
        }
        port->lastWritten = *state;
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
    });
}

uint32_t QORVAL_GetData(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length) {
    uint64_t arrival = 0;
    return TakeFrame(__func__, handle, buffer, size, length, &arrival);
}

uint32_t QORVAL_GetDataTimed(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size,
                             uint32_t* length, uint64_t* arrivalNs) {
    if (arrivalNs == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    return TakeFrame(__func__, handle, buffer, size, length, arrivalNs);
}

uint32_t QORVAL_PutData(QORVAL_HANDLE handle, const uint8_t* data, uint32_t length) {
    return WithPort(__func__, handle,
                    [&](FakeState& s, FakePort* port) { return PutFrame(s, port, data, length); });
}

uint32_t QORVAL_GetBufferCount(QORVAL_HANDLE handle, uint16_t* framesWaiting,
                               uint16_t* txBuffersFree) {
    return WithPort(__func__, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
        if (framesWaiting == nullptr || txBuffersFree == nullptr) {
            return QORVAL_INVALID_PARAMETER;
        }
        s.Arrive(*port);
        *framesWaiting = static_cast<uint16_t>(std::min<size_t>(port->waiting.size(), 0xFFFF));
        *txBuffersFree = TxFree(*port);
        return QORVAL_OK;
    });
}

uint32_t QORVAL_ResetBuffers(QORVAL_HANDLE handle, uint16_t mask) {
    return WithPortLogged(__func__, handle, Arg(handle, mask),
                          [&](FakeState& s, FakePort* port) -> uint32_t {
                              if (mask < QORVAL_RESET_RECEIVE || mask > QORVAL_RESET_BOTH) {
                                  return QORVAL_INVALID_PARAMETER;
                              }
                              if (mask & QORVAL_RESET_RECEIVE) {
                                  s.Arrive(*port);
                                  port->waiting.clear();
                              }
                              // Frames put are delivered at once, so the transmit side holds
                              // nothing to drop.
                              return QORVAL_OK;
                          });
}

uint32_t QORVAL_GetModemControl(QORVAL_HANDLE handle, uint16_t* modemControl) {
    return WithPort(__func__, handle, [&](FakeState& s, FakePort* port) -> uint32_t {
        if (modemControl == nullptr) {
            return QORVAL_INVALID_PARAMETER;
        }
        *modemControl = static_cast<uint16_t>(port->modemOutputs | ModemInputs(s, *port));
        return QORVAL_OK;
    });
}

uint32_t QORVAL_SetModemControl(QORVAL_HANDLE handle, uint16_t modemControl) {
    return WithPortLogged(
        __func__, handle, Arg(handle, modemControl), [&](FakeState&, FakePort* port) -> uint32_t {
            // Only DTR and RTS are driven; the loopback bits are ignored as by the driver.
            port->modemOutputs = modemControl & (QORVAL_MODEM_DTR | QORVAL_MODEM_RTS);
            return QORVAL_OK;
        });
}

uint32_t QORVAL_SetNodeAddress(QORVAL_HANDLE handle, uint8_t address) {
    return WithPortLogged(__func__, handle, Arg(handle, address),
                          [&](FakeState&, FakePort* port) -> uint32_t {
                              port->state.nodeAddress = address;
                              return QORVAL_OK;
                          });
}

// The adapter driver has no character path: the byte goes out as a one-byte frame.
uint32_t QORVAL_TransmitCommChar(QORVAL_HANDLE handle, uint8_t character) {
    return WithPortLogged(
        __func__, handle, Arg(handle, character),
        [&](FakeState& s, FakePort* port) { return PutFrame(s, port, &character, 1); });
}

}  // extern "C"
