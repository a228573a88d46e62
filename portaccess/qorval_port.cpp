#include "portaccess/qorval_port.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "portaccess/tick_count.h"

namespace {

// Every limit of the wrapper is compared in whole seconds of the millisecond tick count.
uint32_t ElapsedSeconds(uint32_t startMs) {
    return (qorval::GetTickCount() - startMs) / 1000;
}

constexpr uint32_t kTxWaitSeconds = 5;

// The longest frame check the card appends (CRC-32). The far port stores a frame together with
// its check, so a frame fits its receive buffer only when it is this much shorter.
constexpr uint32_t kLongestFrameCheck = 4;

}  // namespace

Qorval_Port::Qorval_Port() = default;

Qorval_Port::Qorval_Port(uint16_t driverType, uint16_t portNumber)
    : driverType(driverType), portNumber(portNumber) {}

Qorval_Port::~Qorval_Port() {
    ReleaseBuffer();
    if (handle != 0) {
        Close();
    }
}

void Qorval_Port::ReleaseBuffer() {
    delete[] rxBuffer;
    rxBuffer = nullptr;
}

void Qorval_Port::SelectPort(uint16_t newDriverType, uint16_t newPortNumber) {
    Close();
    driverType = newDriverType;
    portNumber = newPortNumber;
}

uint32_t Qorval_Port::Open() {
    // No caller opens twice; if one did, the old handle and buffer would be lost for good.
    if (handle != 0) {
        Close();
    }
    uint32_t result = QORVAL_PortOpen(driverType, portNumber, &handle);
    if (result != QORVAL_OK) {
        handle = 0;
        return result;
    }
    PortInfo info{};
    result = QORVAL_GetPortInfo(handle, &info);
    if (result != QORVAL_OK) {
        QORVAL_PortClose(handle);
        handle = 0;
        return result;
    }
    rxBufferSize = info.maxRxFrame;
    txFrameSize = info.maxTxFrame;
    rxCount = 0;
    rxIndex = 0;
    rxBuffer = new (std::nothrow) uint8_t[rxBufferSize];
    if (rxBuffer == nullptr) {
        QORVAL_PortClose(handle);
        handle = 0;
        rxBufferSize = 0;
        txFrameSize = 0;
        return QP_NO_MEMORY;
    }
    return QORVAL_OK;
}

uint32_t Qorval_Port::Close() {
    return Close(PortCloseRunner{});
}

uint32_t Qorval_Port::Close(const PortCloseRunner& run) {
    ReleaseBuffer();
    rxCount = 0;
    rxIndex = 0;
    rxBufferSize = 0;
    txFrameSize = 0;
    const QORVAL_HANDLE closing = std::exchange(handle, 0);
    uint32_t result = 0;
    RunPortClose(run, [&] { result = QORVAL_PortClose(closing); });
    return result;
}

uint32_t Qorval_Port::GetSystemInfo(SystemInfo& info) {
    return QORVAL_GetSystemInfo(&info);
}
uint32_t Qorval_Port::GetPortInfo(PortInfo& info) {
    return QORVAL_GetPortInfo(handle, &info);
}
uint32_t Qorval_Port::GetPortState(PortState& state) {
    return QORVAL_GetPortState(handle, &state);
}
uint32_t Qorval_Port::SetPortState(const PortState& state) {
    return QORVAL_SetPortState(handle, &state);
}
uint32_t Qorval_Port::GetModemControl(uint16_t& word) {
    return QORVAL_GetModemControl(handle, &word);
}

bool Qorval_Port::Poll() {
    uint32_t result = 0;
    return Poll(result);
}

bool Qorval_Port::Poll(uint32_t& result) {
    result = QORVAL_OK;
    if (rxIndex != rxCount) {
        return true;
    }
    uint32_t length = 0;
    result = QORVAL_GetData(handle, rxBuffer, rxBufferSize, &length);
    if (result != QORVAL_OK || length == 0) {
        return false;  // a frame that came with an error is dropped here
    }
    // The library never returns more than asked for; the clamp keeps a faulty one from making
    // the byte reads run past the buffer.
    rxCount = std::min<uint32_t>(length, rxBufferSize);
    rxIndex = 0;
    return rxCount != 0;
}

uint32_t Qorval_Port::GetByte(uint8_t& out, uint32_t timeoutSeconds) {
    const uint32_t start = qorval::GetTickCount();
    while (ElapsedSeconds(start) < timeoutSeconds && !Poll()) {
    }
    uint32_t result = 0;
    if (Poll(result)) {
        out = rxBuffer[rxIndex++];
        return QORVAL_OK;
    }
    return result != QORVAL_OK ? result : QP_NO_DATA;
}

uint32_t Qorval_Port::GetBlock(uint8_t* buffer, uint32_t count, uint32_t& got,
                               uint32_t timeoutSeconds) {
    got = 0;
    const uint32_t start = qorval::GetTickCount();
    uint32_t result = QORVAL_OK;
    while (got < count) {
        if (Poll(result)) {
            const uint32_t buffered = rxCount - rxIndex;
            const uint32_t take = std::min(count - got, buffered);
            std::memcpy(buffer + got, rxBuffer + rxIndex, take);
            got += take;
            if (take == buffered) {
                rxIndex = 0;
                rxCount = 0;
            } else {
                rxIndex += take;
            }
        } else if (result != QORVAL_OK) {
            return result;
        }
        if (ElapsedSeconds(start) > timeoutSeconds) {
            break;
        }
    }
    return result;
}

uint32_t Qorval_Port::WaitForTxBuffer(uint16_t& free) {
    const uint32_t start = qorval::GetTickCount();
    for (;;) {
        // A count that cannot be had ends the wait with its result: on a handle that has lost
        // its port every count fails at once, and waiting for one would only spin for 5 seconds
        // before reporting a full ring that nobody saw.
        uint16_t waiting = 0;
        free = 0;
        if (uint32_t result = QORVAL_GetBufferCount(handle, &waiting, &free); result != QORVAL_OK) {
            return result;
        }
        if (free != 0) {
            return QORVAL_OK;
        }
        if (ElapsedSeconds(start) > kTxWaitSeconds) {
            return QP_NO_TX_BUFFER;
        }
        std::this_thread::yield();
    }
}

uint32_t Qorval_Port::PutByte(uint8_t byte) {
    uint16_t free = 0;
    if (uint32_t result = WaitForTxBuffer(free); result != QORVAL_OK) {
        return result;
    }
    return QORVAL_PutData(handle, &byte, 1);
}

uint32_t Qorval_Port::PutBlock(const uint8_t* data, uint32_t length) {
    return PutBlock(data, length, [this](uint16_t& free) { return WaitForTxBuffer(free); });
}

uint32_t Qorval_Port::PutBlock(const uint8_t* data, uint32_t length, const TxBufferWait& wait) {
    uint32_t offset = 0;
    // Buffers the last count reported free and not yet filled: only this handle puts frames on
    // the port, so they stay free, and each piece after the first of a count goes without
    // asking again.
    uint16_t free = 0;
    while (offset < length) {
        if (free == 0) {
            if (uint32_t result = wait(free); result != QORVAL_OK) {
                return result;
            }
        }
        --free;
        // A port that reports no transmit frame size would otherwise be sent empty frames
        // for ever.
        if (txFrameSize == 0) {
            return QORVAL_INVALID_PARAMETER;
        }
        const uint32_t piece = PieceSize();
        const uint32_t rest = length - offset;
        if (rest <= piece) {
            return QORVAL_PutData(handle, data + offset, rest);
        }
        if (uint32_t result = QORVAL_PutData(handle, data + offset, piece); result != QORVAL_OK) {
            return result;
        }
        offset += piece;
    }
    return QORVAL_OK;
}

uint32_t Qorval_Port::PieceSize() const {
    // The far end is set up like this port: it takes a frame only when the frame and its check
    // fit its receive buffer. The library does not say which check the port uses, so the
    // longest is allowed for. A receive buffer that cannot hold even that check cannot be using
    // CRC-32 at all; the transmit frame size alone then bounds the pieces.
    if (rxBufferSize <= kLongestFrameCheck) {
        return txFrameSize;
    }
    return std::min<uint32_t>(txFrameSize, rxBufferSize - kLongestFrameCheck);
}

uint32_t Qorval_Port::BytesWaiting() {
    if (rxIndex == rxCount) {
        Poll();
    }
    return rxCount - rxIndex;
}

bool Qorval_Port::DiscardInput() {
    if (handle == 0) {
        return false;
    }
    rxIndex = 0;
    rxCount = 0;
    return true;
}

uint32_t Qorval_Port::Purge(uint32_t limitSeconds) {
    const uint32_t start = qorval::GetTickCount();
    uint32_t lastData = start;
    while (ElapsedSeconds(start) < limitSeconds) {
        if (Poll()) {
            rxIndex = 0;
            rxCount = 0;
            lastData = qorval::GetTickCount();
        } else if (ElapsedSeconds(lastData) >= 1) {
            break;  // one full quiet second
        }
    }
    uint32_t result = 0;
    if (Poll(result)) {
        return QP_LINE_BUSY;
    }
    return result;
}

uint32_t Qorval_Port::GetFrame(uint8_t* buffer, uint16_t size, uint32_t& length) {
    DiscardInput();
    length = 0;
    return QORVAL_GetData(handle, buffer, size, &length);
}

uint16_t Qorval_Port::TxBuffersFree() {
    uint16_t waiting = 0;
    uint16_t free = 0;
    return QORVAL_GetBufferCount(handle, &waiting, &free) == QORVAL_OK ? free : 0;
}

uint16_t Qorval_Port::FramesWaiting() {
    uint16_t waiting = 0;
    uint16_t free = 0;
    return QORVAL_GetBufferCount(handle, &waiting, &free) == QORVAL_OK ? waiting : 0;
}

uint32_t Qorval_Port::SetModemBit(uint16_t bit, bool on) {
    uint16_t word = 0;
    if (uint32_t result = QORVAL_GetModemControl(handle, &word); result != QORVAL_OK) {
        return result;
    }
    word = on ? static_cast<uint16_t>(word | bit) : static_cast<uint16_t>(word & ~bit);
    return QORVAL_SetModemControl(handle, word);
}

int Qorval_Port::GetModemBit(uint16_t bit) {
    uint16_t word = 0;
    if (QORVAL_GetModemControl(handle, &word) != QORVAL_OK) {
        return 0;
    }
    return (word & bit) != 0 ? 1 : 0;
}

uint32_t Qorval_Port::SetDTR(bool on) {
    return SetModemBit(QORVAL_MODEM_DTR, on);
}
uint32_t Qorval_Port::SetRTS(bool on) {
    return SetModemBit(QORVAL_MODEM_RTS, on);
}
int Qorval_Port::GetDTR() {
    return GetModemBit(QORVAL_MODEM_DTR);
}
int Qorval_Port::GetRTS() {
    return GetModemBit(QORVAL_MODEM_RTS);
}
int Qorval_Port::GetCTS() {
    return GetModemBit(QORVAL_MODEM_CTS);
}
int Qorval_Port::GetDSR() {
    return GetModemBit(QORVAL_MODEM_DSR);
}
int Qorval_Port::GetDCD() {
    return GetModemBit(QORVAL_MODEM_DCD);
}
int Qorval_Port::GetRI() {
    return GetModemBit(QORVAL_MODEM_RI);
}
