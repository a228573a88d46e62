// The interrupt service routine and its four handlers.

#include "driver/card_memory.h"
#include "driver/dma_lists.h"
#include "driver/frame_engine.h"
#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// A receive buffer has been filled. When every buffer already held an unread frame, the waiting
// frames are given up and counting starts again.
void CountReceivedBuffer(PortContext& port) {
    const uint32_t buffers = port.config.RxBuffers;
    port.RxFramesReceived.fetch_add(1, std::memory_order_relaxed);
    if (port.RxFramesWaiting.load(std::memory_order_relaxed) == buffers) {
        port.RxFramesWaiting.store(0, std::memory_order_relaxed);
        port.RxReadIndex = 0;
        port.RxDmaIndex = 0;
    }
    port.RxFramesWaiting.fetch_add(1, std::memory_order_relaxed);
    port.RxDmaIndex = NextIndex(port.RxDmaIndex, buffers);
}

bool ReceiveRingFull(const PortContext& port) {
    return port.RxFramesWaiting.load(std::memory_order_relaxed) == port.config.RxBuffers;
}

// True when the DMA has closed the receive entry: it cleared the entry's size when it fetched it
// and wrote the receive count (0xFFFF minus the bytes stored) at the end of the frame.
bool ReceiveEntryClosed(PortContext& port, uint32_t index) {
    const uint16_t at = EntryAddress(port, index, DmaList::Receive);
    return port.hardware->ReadWindow16(at + entry::kLength) == 0 &&
           port.hardware->ReadWindow16(at + entry::kCount) != port.config.RxBuffSize;
}

// Counts the buffer an end of buffer reports, then any further buffers the DMA has closed since:
// the end-of-buffer status bit holds one event, so buffers that end between two services (for
// example while the driver stalls in a copy) would otherwise go uncounted, their frames lost and
// the ring indexes left behind the DMA.
void CountFilledBuffers(PortContext& port) {
    CountReceivedBuffer(port);
    for (uint32_t n = 1; n < port.config.RxBuffers && !ReceiveRingFull(port); ++n) {
        if (!ReceiveEntryClosed(port, port.RxDmaIndex)) {
            break;
        }
        CountReceivedBuffer(port);
    }
}

// True when the transmit DMA has fetched the entry (it clears the length when it does).
bool TransmitEntryFetched(PortContext& port, uint32_t index) {
    const uint16_t at = EntryAddress(port, index, DmaList::Transmit);
    return port.hardware->ReadWindow16(at + entry::kLength) == 0;
}

void CountSentFrame(PortContext& port) {
    port.TxFramesSent.fetch_add(1, std::memory_order_relaxed);
    // Never below zero, whatever the card reports.
    if (port.TxFramesQueued.load(std::memory_order_relaxed) != 0) {
        port.TxFramesQueued.fetch_sub(1, std::memory_order_relaxed);
    }
    port.TxDoneIndex = NextIndex(port.TxDoneIndex, port.config.TxBuffers);
}

void PauseReceiver(PortContext& port) {
    port.PortFlags |= RX_STOPPED;
    WriteIusc16(port, iusc::DCAR, dcar::kPauseRx);
    WriteIusc16(port, iusc::CDIR, status::kCdirRx);
}

// Acts on a receive DMA status: a filled buffer is counted; at the end of the list, or with
// every buffer full, reception pauses until a read frees a buffer.
void HandleReceiveDmaStatus(PortContext& port, uint16_t dma_status) {
    if (dma_status & status::kDmaEndOfBuffer) {
        CountFilledBuffers(port);
    }
    if ((dma_status & status::kDmaEndOfList) == 0 && !ReceiveRingFull(port)) {
        return;
    }
    PauseReceiver(port);
}

void ReceiveDmaHandler(PortContext& port) {
    WriteIusc16(port, iusc::CDIR, status::kCdirRx);
    HandleReceiveDmaStatus(port, ReadIusc16(port, iusc::RDMR));
}

void ReceiveStatusHandler(PortContext& port) {
    const uint16_t dma_status = ReadIusc16(port, iusc::RDMR);
    WriteIusc16(port, iusc::DCCR, status::kDccrClearRxStatus);
    const uint16_t receive_status = ReadIusc16(port, iusc::RCSR);

    if ((receive_status & status::kRcsrOverrun) == 0) {
        // A CRC error ends its frame normally: the buffer holds the whole frame and its status
        // word, and the read that takes it reports the error. Nothing needs recovering, and the
        // end of buffer that the RDMR read above took from the DMA handler is counted here, so
        // the frame is neither lost nor overwritten by the next one.
        WriteIusc8(port, iusc::RCSR, static_cast<uint8_t>(receive_status & status::kRcsrCrcError));
        HandleReceiveDmaStatus(port, dma_status);
        return;
    }

    // An overrun: back to hunting for a flag with empty FIFOs.
    WriteIusc16(port, iusc::DCAR, dcar::kPauseRx);
    WriteIusc8(port, iusc::RCSR_COMMAND, command::kEnterHuntMode);
    IssueChannelCommand(port, ccar::kReceiveReset);
    IssueChannelCommand(port, ccar::kPurgeRxFifo);
    WriteIusc16(port, iusc::CCSR, programme::kCcsrClear);
    WriteIusc8(port, iusc::RCSR, static_cast<uint8_t>(status::kRcsrOverrun));
    WriteIusc8(port, iusc::RICR, arm::kRicrLowOverrunCleared);
    WriteIusc8(port, iusc::RICR, arm::kRicrLowRunning);

    // The overrun frame keeps its entry (the read reports it as an overrun); it is counted
    // before the DMA is pointed on, so that the DMA resumes at the entry after it instead of
    // overwriting an entry already counted as holding a frame.
    CountReceivedBuffer(port);
    SetNextReceiveList(port, port.RxListBase + 16 * port.RxDmaIndex);
    RearmReceiveEntry(port, port.RxDmaIndex);
    if (ReceiveRingFull(port)) {
        port.PortFlags |= RX_STOPPED;
    } else {
        WriteIusc16(port, iusc::DCAR, dcar::kStartRx);
    }
    if (((dma_status & status::kDmaEndOfList) || ReceiveRingFull(port)) &&
        (port.PortFlags & RX_STOPPED) == 0) {
        PauseReceiver(port);
    }
}

void TransmitDmaHandler(PortContext& port) {
    WriteIusc16(port, iusc::CDIR, status::kCdirTx);
    const uint16_t dma_status = ReadIusc16(port, iusc::TDMR);
    if (dma_status & status::kDmaEndOfBuffer) {
        CountSentFrame(port);
    }
    if ((dma_status & status::kDmaEndOfList) == 0) {
        return;
    }
    // At the end of the list the DMA has stopped, so every queued entry it fetched has been
    // sent, including any whose end of buffer merged into an earlier status. Restarting at one
    // of them would send its frame twice.
    for (uint32_t n = 0;
         n < port.config.TxBuffers && port.TxFramesQueued.load(std::memory_order_relaxed) != 0 &&
         TransmitEntryFetched(port, port.TxDoneIndex);
         ++n) {
        CountSentFrame(port);
    }
    if (port.TxFramesQueued.load(std::memory_order_relaxed) == 0) {
        port.PortFlags |= TX_IDLE;
        return;
    }
    // Frames remain: restart at the oldest one with its length restored.
    Hardware& hw = *port.hardware;
    const uint16_t at = EntryAddress(port, port.TxDoneIndex, DmaList::Transmit);
    const uint16_t length = hw.ReadWindow16(at + entry::kSavedLength);
    hw.WriteWindow16(at + entry::kLength, length);
    hw.WriteWindow16(at + entry::kCount, length);
    SetNextTransmitList(port, port.TxListBase + 16 * port.TxDoneIndex);
    IssueChannelCommand(port, ccar::kLoadTxCharCount);
    WriteIusc16(port, iusc::DCAR, dcar::kStartTx);
}

void TransmitStatusHandler(PortContext& port) {
    WriteIusc16(port, iusc::DCCR, status::kDccrClearTxStatus);
    const uint16_t transmit_status = ReadIusc16(port, iusc::TCSR);
    WriteIusc8(port, iusc::TICR, arm::kTicrLowRunning);
    for (const uint16_t bit : {status::kTcsrUnderrun, status::kTcsrAbortSent}) {
        if (transmit_status & bit) {
            WriteIusc8(port, iusc::TCSR, static_cast<uint8_t>(bit));
            WriteIusc8(port, iusc::TICR, arm::kTicrLowRunning);
            WriteIusc8(port, iusc::RICR, arm::kRicrLowAfterTxStatus);
        }
    }
}

// A pending register with its receive and transmit bits and their handlers.
struct PendingSource {
    uint8_t reg;
    uint16_t receive_bit;
    void (*receive)(PortContext&);
    uint16_t transmit_bit;
    void (*transmit)(PortContext&);
};

// Runs the handlers while the register shows their bits pending (receive first).
void ServicePending(PortContext& port, const PendingSource& source) {
    for (uint32_t n = 0; n < kMaxServicePasses; ++n) {
        const uint16_t pending =
            ReadIusc16(port, source.reg) & (source.receive_bit | source.transmit_bit);
        if (pending == 0) {
            return;
        }
        if (pending & source.receive_bit) {
            source.receive(port);
        }
        if (pending & source.transmit_bit) {
            source.transmit(port);
        }
    }
}

bool BoardRequestsInterrupt(PortContext& port) {
    return (port.hardware->ReadBoard(board::kReset) & board::kNoInterrupt) == 0;
}

}  // namespace

bool ServiceInterrupt(PortContext& port) {
    if (!BoardRequestsInterrupt(port)) {
        return false;
    }
    for (uint32_t pass = 0; pass < kMaxServicePasses && BoardRequestsInterrupt(port); ++pass) {
        ServicePending(port, {iusc::DCCR, status::kDccrRxStatus, ReceiveStatusHandler,
                              status::kDccrTxStatus, TransmitStatusHandler});
        ServicePending(port, {iusc::DIPR, status::kDipRx, ReceiveDmaHandler, status::kDipTx,
                              TransmitDmaHandler});
    }
    return true;
}

}  // namespace wyvel32
