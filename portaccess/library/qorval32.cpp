// The QORVAL_* functions: each turns a tool's call into requests on the port's device socket
// and the driver's status into the tools' result code.

#include "portaccess/qorval32.h"

#include <chrono>
#include <cstring>
#include <memory>

#include "driver/ioctl_codes.h"
#include "host/protocol/control_protocol.h"
#include "platform/paths.h"
#include "portaccess/library/device_connection.h"
#include "portaccess/library/handle_table.h"
#include "portaccess/library/status_map.h"
#include "portaccess/library/system_info.h"
#include "portaccess/library/drain_bound.h"
#include "portaccess/library/transmit_drain.h"

using qorval::library::Completion;
using qorval::library::DeviceConnection;
using qorval::library::HandleTable;
using qorval::library::RequestKind;
using qorval::library::ResultFromStatus;

namespace {

constexpr uint16_t kMaxPortNumber = 32;

// The time a frame is stamped with when the host gave none (the message path): now.
uint64_t SystemClockNs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count());
}

// The result of a request that reached the driver, or a general error when the host did
// not answer.
uint32_t ResultOf(const Completion& done, RequestKind kind) {
    return done.delivered ? ResultFromStatus(kind, done.status) : uint32_t{QORVAL_GENERAL_ERROR};
}

// Runs a device control request whose output is a fixed-size record.
uint32_t ControlOut(QORVAL_HANDLE handle, uint32_t code, void* out, uint32_t size) {
    const auto connection = HandleTable::Instance().Find(handle);
    if (!connection) {
        return QORVAL_INVALID_HANDLE;
    }
    // The record lands in the caller's memory only when it came back whole.
    uint8_t record[256];
    if (size > sizeof(record)) {
        return QORVAL_INVALID_PARAMETER;
    }
    const Completion done = connection->Control(code, {}, std::span(record, size));
    const uint32_t result = ResultOf(done, RequestKind::Control);
    if (result == QORVAL_OK) {
        if (done.output_size != size) {
            return QORVAL_GENERAL_ERROR;  // the record did not come back whole
        }
        std::memcpy(out, record, size);
    }
    return result;
}

uint32_t ControlIn(QORVAL_HANDLE handle, uint32_t code, const void* in, uint32_t size) {
    const auto connection = HandleTable::Instance().Find(handle);
    if (!connection) {
        return QORVAL_INVALID_HANDLE;
    }
    return ResultOf(
        connection->Control(code, std::span(static_cast<const uint8_t*>(in), size), {}),
        RequestKind::Control);
}

}  // namespace

extern "C" {

uint32_t QORVAL_GetSystemInfo(SystemInfo* info) {
    if (info == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    return qorval::library::QuerySystemInfo(*info);
}

uint32_t QORVAL_PortOpen(uint16_t driverType, uint16_t portNumber, QORVAL_HANDLE* handle) {
    if (handle == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    *handle = 0;
    if (driverType != QORVAL_DRIVER_WYVEL32) {
        return QORVAL_INVALID_DRIVER_TYPE;  // the SCC drivers are not part of this system
    }
    if (portNumber == 0 || portNumber > kMaxPortNumber) {
        return QORVAL_PORT_NUMBER;
    }
    std::unique_ptr<DeviceConnection> connection;
    const uint32_t result = DeviceConnection::Open(
        qorval::platform::RunDir() / qorval::protocol::DeviceSocketName(portNumber), connection);
    if (result == QORVAL_OK) {
        *handle = HandleTable::Instance().Add(std::move(connection));
    }
    return result;
}

uint32_t QORVAL_PortClose(QORVAL_HANDLE handle) {
    // The driver's close stops the channel: frames this handle queued leave the card first.
    if (const auto connection = HandleTable::Instance().Find(handle);
        connection && connection->HasQueuedFrames()) {
        PortInfo info{};
        if (QORVAL_GetPortInfo(handle, &info) == QORVAL_OK) {
            // A slow line may take seconds for one frame: the wait without progress covers it.
            qorval::library::DrainTiming timing;
            if (PortState state{}; QORVAL_GetPortState(handle, &state) == QORVAL_OK) {
                timing.no_progress_limit =
                    qorval::library::NoProgressLimitFor(info, state, timing.no_progress_limit);
            }
            (void)qorval::library::AwaitTransmitDrain(
                info.txBuffers,
                [handle] {
                    uint16_t waiting = 0;
                    uint16_t free = 0;
                    return QORVAL_GetBufferCount(handle, &waiting, &free) == QORVAL_OK
                               ? std::optional<uint16_t>(free)
                               : std::nullopt;
                },
                timing);
        }
    }
    // Dropping the connection is cleanup and close for the driver.
    return HandleTable::Instance().Remove(handle) ? QORVAL_OK : QORVAL_INVALID_HANDLE;
}

uint32_t QORVAL_GetPortInfo(QORVAL_HANDLE handle, PortInfo* info) {
    if (info == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    return ControlOut(handle, wyvel32::IOCTL_GET_PORT_INFO, info, sizeof(PortInfo));
}

uint32_t QORVAL_GetPortState(QORVAL_HANDLE handle, PortState* state) {
    if (state == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    return ControlOut(handle, wyvel32::IOCTL_GET_PORT_STATE, state, sizeof(PortState));
}

uint32_t QORVAL_SetPortState(QORVAL_HANDLE handle, const PortState* state) {
    if (state == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    return ControlIn(handle, wyvel32::IOCTL_SET_PORT_STATE, state, sizeof(PortState));
}

uint32_t QORVAL_GetData(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length) {
    uint64_t arrival = 0;
    return QORVAL_GetDataTimed(handle, buffer, size, length, &arrival);
}

uint32_t QORVAL_GetDataTimed(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size,
                             uint32_t* length, uint64_t* arrivalNs) {
    if (length == nullptr || arrivalNs == nullptr || (buffer == nullptr && size != 0)) {
        return QORVAL_INVALID_PARAMETER;
    }
    *length = 0;
    *arrivalNs = 0;
    const auto connection = HandleTable::Instance().Find(handle);
    if (!connection) {
        return QORVAL_INVALID_HANDLE;
    }
    // The frame goes straight into the caller's buffer; frames with a CRC or overrun status
    // still carry their bytes.
    const Completion done = connection->Read(std::span(buffer, size));
    const uint32_t result = ResultOf(done, RequestKind::Read);
    if (done.delivered) {
        *length = static_cast<uint32_t>(done.output_size);
        const bool frame = *length != 0 || result == QORVAL_CRC_ERROR || result == QORVAL_OVERRUN;
        if (frame) {
            *arrivalNs = done.arrival_ns != 0 ? done.arrival_ns : SystemClockNs();
        }
    }
    return result;
}

uint32_t QORVAL_PutData(QORVAL_HANDLE handle, const uint8_t* data, uint32_t length) {
    if (data == nullptr && length != 0) {
        return QORVAL_INVALID_PARAMETER;
    }
    if (length > qorval::protocol::kMaxPayload) {
        return QORVAL_INVALID_PARAMETER;
    }
    const auto connection = HandleTable::Instance().Find(handle);
    if (!connection) {
        return QORVAL_INVALID_HANDLE;
    }
    return ResultOf(connection->Write(std::span(data, length)), RequestKind::Write);
}

uint32_t QORVAL_GetBufferCount(QORVAL_HANDLE handle, uint16_t* framesWaiting,
                               uint16_t* txBuffersFree) {
    if (framesWaiting == nullptr || txBuffersFree == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    uint8_t counts[wyvel32::kBufferCountSize];
    const uint32_t result =
        ControlOut(handle, wyvel32::IOCTL_GET_BUFFER_COUNT, counts, sizeof(counts));
    if (result == QORVAL_OK) {
        *framesWaiting = static_cast<uint16_t>(counts[0] | counts[1] << 8);
        *txBuffersFree = static_cast<uint16_t>(counts[2] | counts[3] << 8);
    }
    return result;
}

uint32_t QORVAL_ResetBuffers(QORVAL_HANDLE handle, uint16_t mask) {
    // The tools say 3 for both buffers; the driver's request says 4.
    const uint8_t value =
        mask == QORVAL_RESET_BOTH ? wyvel32::kResetBoth : static_cast<uint8_t>(mask);
    return ControlIn(handle, wyvel32::IOCTL_RESET_BUFFERS, &value, sizeof(value));
}

uint32_t QORVAL_GetModemControl(QORVAL_HANDLE handle, uint16_t* modemControl) {
    if (modemControl == nullptr) {
        return QORVAL_INVALID_PARAMETER;
    }
    uint8_t word[wyvel32::kModemControlSize];
    const uint32_t result =
        ControlOut(handle, wyvel32::IOCTL_GET_MODEM_CONTROL, word, sizeof(word));
    if (result == QORVAL_OK) {
        *modemControl = static_cast<uint16_t>(word[0] | word[1] << 8);
    }
    return result;
}

uint32_t QORVAL_SetModemControl(QORVAL_HANDLE handle, uint16_t modemControl) {
    const uint8_t word[wyvel32::kModemControlSize] = {static_cast<uint8_t>(modemControl),
                                                      static_cast<uint8_t>(modemControl >> 8)};
    return ControlIn(handle, wyvel32::IOCTL_SET_MODEM_CONTROL, word, sizeof(word));
}

uint32_t QORVAL_SetNodeAddress(QORVAL_HANDLE handle, uint8_t address) {
    return ControlIn(handle, wyvel32::IOCTL_SET_NODE_ADDRESS, &address, sizeof(address));
}

uint32_t QORVAL_TransmitCommChar(QORVAL_HANDLE handle, uint8_t character) {
    // The adapter driver has no character path: the byte goes out as a one-byte frame.
    return QORVAL_PutData(handle, &character, 1);
}

}  // extern "C"
