#pragma once
// PortContext: the per-port device extension. It lives from the arrival of the port's device
// to its removal. This part holds the configuration copy, the hardware handles and the frame
// engine's rings and counters; the request interface and the lifecycle add their own fields.

#include <atomic>
#include <cstdint>

#include "driver/driver_context.h"
#include "driver/hardware.h"
#include "driver/interrupt_sync.h"
#include "driver/port_config.h"

namespace wyvel32 {

// PortFlags bits.
inline constexpr uint32_t TX_IDLE = 0x01;       // transmit DMA stopped, nothing queued on it
inline constexpr uint32_t RX_STOPPED = 0x02;    // receive DMA paused: ring full or list end
inline constexpr uint32_t RX_CRC_ERROR = 0x04;  // the frame just read had a CRC error
inline constexpr uint32_t RX_OVERRUN = 0x10;    // the frame just read was overrun or too long

struct PortContext {
    // ---- Set at device arrival / start, read-only while the device runs ----

    // Driver-wide state (registry, event log, service key); set at arrival.
    DriverContext* driver = nullptr;
    // The card's board registers, IUSC window and card-memory window; set when the start maps
    // the windows, cleared when they are unmapped.
    Hardware* hardware = nullptr;
    // The port's interrupt lock; set when the interrupt is connected (or by a test).
    InterruptSync* interrupt_sync = nullptr;
    // The configuration: copied whole at start, the open-time subset copied again at every open
    // and by a port-state change. Buffer sizes and counts change only at start.
    PortConfig config;

    // ---- Frame engine: every field below is changed only under the interrupt lock ----

    // TX_IDLE, RX_STOPPED, RX_CRC_ERROR, RX_OVERRUN.
    uint32_t PortFlags = 0;
    // Frames written and not yet confirmed sent. Atomic: the buffer count query reads it
    // without the lock.
    std::atomic<uint32_t> TxFramesQueued{0};
    uint32_t TxWriteIndex = 0;  // next transmit entry to fill
    uint32_t TxDoneIndex = 0;   // oldest transmit entry not yet confirmed sent
    // Receive buffers holding unread frames. Atomic for the lock-free buffer count query.
    std::atomic<uint32_t> RxFramesWaiting{0};
    uint32_t RxReadIndex = 0;  // oldest entry holding an unread frame
    uint32_t RxDmaIndex = 0;   // entry the receive DMA is filling
    // Card addresses of the lists (0 and 16 x TxBuffers), recorded when the lists are built.
    // Kept at full width: above 64 KB the list address needs its upper word.
    uint32_t TxListBase = 0;
    uint32_t RxListBase = 0;

    // The write in progress: its frame and length (set by the request interface).
    const uint8_t* TransferBuffer = nullptr;
    uint32_t TransferLength = 0;
    // The read in progress: its buffer and length; on return ReadLength holds the bytes
    // delivered, or the length the waiting frame needs when it did not fit.
    uint8_t* ReadBuffer = nullptr;
    uint32_t ReadLength = 0;

    // ---- Counters reported in PortState: from device creation, never reset ----
    // Atomic: the state query reads them while the interrupt path counts.
    std::atomic<uint32_t> TxFramesSent{0};
    std::atomic<uint32_t> RxFramesReceived{0};
    std::atomic<uint32_t> CrcErrors{0};
    std::atomic<uint32_t> Overruns{0};

    // ---- Request interface and device lifecycle (driver/port_device.h) ----
    // The port's device extension is a PortDevice, which holds this PortContext together with
    // the handle state, the read queue, the Plug and Play and power state, the request gate
    // and hold list, and the outstanding-request count.
};

}  // namespace wyvel32
