// The eight device control requests. Each checks its buffer lengths first; any other code or a
// length outside its rule gives STATUS_INVALID_PARAMETER with information 0.

#include <span>

#include "driver/frame_engine.h"
#include "driver/hardware_access.h"
#include "driver/ioctl_codes.h"
#include "driver/lifecycle_gate.h"
#include "driver/modem_lines.h"
#include "driver/port_init.h"
#include "driver/port_records.h"
#include "driver/request_dispatch.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

// What a control code needs of the buffers.
struct LengthRule {
    uint32_t code;
    uint32_t input;   // minimum input length
    uint32_t output;  // minimum output length
    bool exact;       // the record lengths must match exactly
};

constexpr LengthRule kRules[] = {
    {IOCTL_SET_MODEM_CONTROL, kModemControlSize, 0, false},
    {IOCTL_GET_MODEM_CONTROL, 0, kModemControlSize, false},
    {IOCTL_SET_PORT_STATE, kPortStateSize, 0, true},
    {IOCTL_GET_PORT_STATE, 0, kPortStateSize, true},
    {IOCTL_GET_PORT_INFO, 0, kPortInfoSize, true},
    {IOCTL_RESET_BUFFERS, 1, 0, false},
    {IOCTL_GET_BUFFER_COUNT, 0, kBufferCountSize, false},
    {IOCTL_SET_NODE_ADDRESS, 1, 0, false},
};

bool LengthsFit(const LengthRule& rule, uint32_t input, uint32_t output) {
    if (rule.exact) {
        return (rule.input == 0 || input == rule.input) &&
               (rule.output == 0 || output == rule.output);
    }
    return input >= rule.input && output >= rule.output;
}

const LengthRule* FindRule(uint32_t code) {
    for (const LengthRule& rule : kRules) {
        if (rule.code == code) {
            return &rule;
        }
    }
    return nullptr;
}

// The device's hardware is not started (the handle outlived a stop or removal).
NTSTATUS NotStarted(Irp* irp) {
    return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE);
}

NTSTATUS SetPortState(PortDevice& device, Irp* irp) {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    const std::span<const uint8_t> record(irp->SystemBuffer.data(), kPortStateSize);
    const bool started = WithHardware(device, [&] {
        SynchronizeExecution(*device.port.interrupt_sync,
                             [&] { TakePortState(device.port.config, record); });
        // The whole open-time initialisation with the new values; waiting and queued frames
        // are dropped with the rings.
        status = OpenTimeInitialisation(device.port);
    });
    if (!started) {
        return NotStarted(irp);
    }
    return CompleteRequest(irp, NT_SUCCESS(status) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL,
                           kPortStateSize);
}

NTSTATUS ResetBuffers(PortDevice& device, Irp* irp) {
    const uint8_t which = irp->SystemBuffer[0];
    const bool started = WithInterruptLock(device, [&] {
        // 3 (the tools' "both") is not a value of this request: it resets nothing.
        if (which == kResetReceive || which == kResetBoth) {
            ResetReceive(device.port);
        }
        if (which == kResetTransmit || which == kResetBoth) {
            ResetTransmit(device.port);
        }
    });
    return started ? CompleteRequest(irp, STATUS_SUCCESS) : NotStarted(irp);
}

}  // namespace

NTSTATUS HandleDeviceControl(PortDevice& device, Irp* irp) {
    const IrpParameters& p = irp->Parameters;
    const LengthRule* rule = FindRule(p.IoControlCode);
    if (rule == nullptr || !LengthsFit(*rule, p.InputBufferLength, p.OutputBufferLength)) {
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
    std::span<uint8_t> buffer(irp->SystemBuffer);
    PortContext& port = device.port;
    switch (p.IoControlCode) {
        case IOCTL_SET_MODEM_CONTROL: {
            const uint16_t word = static_cast<uint16_t>(buffer[0] | (buffer[1] << 8));
            return WithInterruptLock(device, [&] { SetModemLines(port, word); })
                       ? CompleteRequest(irp, STATUS_SUCCESS)
                       : NotStarted(irp);
        }
        case IOCTL_GET_MODEM_CONTROL: {
            uint16_t word = 0;
            if (!WithInterruptLock(device, [&] { word = GetModemLines(port); })) {
                return NotStarted(irp);
            }
            PutLe16(buffer, 0, word);
            return CompleteRequest(irp, STATUS_SUCCESS, kModemControlSize);
        }
        case IOCTL_SET_PORT_STATE:
            return SetPortState(device, irp);
        case IOCTL_GET_PORT_STATE:
            return WithInterruptLock(device, [&] { FillPortState(port, buffer); })
                       ? CompleteRequest(irp, STATUS_SUCCESS, kPortStateSize)
                       : NotStarted(irp);
        case IOCTL_GET_PORT_INFO:
            return WithInterruptLock(device, [&] { FillPortInfo(port, buffer); })
                       ? CompleteRequest(irp, STATUS_SUCCESS, kPortInfoSize)
                       : NotStarted(irp);
        case IOCTL_RESET_BUFFERS:
            return ResetBuffers(device, irp);
        case IOCTL_GET_BUFFER_COUNT: {
            // Read without the interrupt lock: two counters, each read whole.
            const uint32_t waiting = port.RxFramesWaiting.load();
            const uint32_t queued = port.TxFramesQueued.load();
            const uint32_t buffers = port.config.TxBuffers;
            PutLe16(buffer, 0, waiting);
            PutLe16(buffer, 2, buffers > queued ? buffers - queued : 0);
            return CompleteRequest(irp, STATUS_SUCCESS, kBufferCountSize);
        }
        case IOCTL_SET_NODE_ADDRESS: {
            // Only stored: address filtering follows at the next initialisation.
            const uint8_t address = buffer[0];
            return WithInterruptLock(device, [&] { port.config.SyncNodeAddress = address; })
                       ? CompleteRequest(irp, STATUS_SUCCESS)
                       : NotStarted(irp);
        }
        default:
            return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
}

}  // namespace wyvel32
