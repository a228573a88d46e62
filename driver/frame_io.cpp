// Reading and writing whole frames through the rings, and the ring resets.

#include "driver/card_memory.h"
#include "driver/dma_lists.h"
#include "driver/frame_engine.h"
#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

namespace {

constexpr uint16_t kCountStart = 0xFFFF;  // the receive count runs down from here

// CRC bytes at the end of a received frame, and the highest receive count that still leaves
// data beyond them.
struct CrcLayout {
    uint32_t bytes;
    uint16_t threshold;
};

CrcLayout CrcOf(uint32_t crc_used) {
    switch (crc_used) {
        case 1:
            return {4, 0xFFFB};
        case 2:
            return {2, 0xFFFD};
        default:
            return {0, 0xFFFF};
    }
}

uint16_t ReceiveCount(PortContext& port, uint32_t index) {
    const uint16_t at = EntryAddress(port, index, DmaList::Receive);
    return port.hardware->ReadWindow16(at + entry::kCount);
}

void RestartReceiver(PortContext& port) {
    WriteIusc16(port, iusc::DCAR, dcar::kPauseRx);
    WriteIusc8(port, iusc::RCSR_COMMAND, command::kEnterHuntMode);
    SetNextReceiveList(port, port.RxListBase + 16 * port.RxDmaIndex);
    RearmReceiveEntry(port, port.RxDmaIndex);
    port.PortFlags &= ~RX_STOPPED;
    WriteIusc16(port, iusc::DCAR, dcar::kStartRx);
}

void ClearTransmitRing(PortContext& port) {
    port.TxFramesQueued.store(0, std::memory_order_relaxed);
    port.TxWriteIndex = 0;
    port.TxDoneIndex = 0;
}

void ClearReceiveRing(PortContext& port) {
    port.RxFramesWaiting.store(0, std::memory_order_relaxed);
    port.RxReadIndex = 0;
    port.RxDmaIndex = 0;
}

}  // namespace

bool ReadFrame(PortContext& port) {
    const PortConfig& config = port.config;
    Hardware& hw = *port.hardware;
    const uint32_t waiting = port.RxFramesWaiting.load(std::memory_order_relaxed);
    if (waiting == 0 || waiting > config.RxBuffers || port.RxReadIndex >= config.RxBuffers) {
        if (waiting == 0 && (port.PortFlags & RX_STOPPED)) {
            // Every buffer is free, yet reception is paused (the list ended at an entry that
            // was never counted): restart it, or nothing would ever restart it.
            RestartReceiver(port);
        }
        port.ReadLength = 0;
        return false;
    }

    // A frame one or two bytes longer than its buffer ends in the next entry, whose count is
    // the one that describes it. Both entries were counted as waiting when they filled; the
    // frame is taken from the second and both are given back. When the second has not been
    // counted yet, the first is taken alone (as an over-long frame), so the count never
    // includes an entry that holds no frame.
    uint32_t index = port.RxReadIndex;
    uint16_t count = ReceiveCount(port, index);
    const uint32_t over = (kCountStart - count - config.RxBuffSize) & 0xFFFF;
    const bool spilled = (over == 1 || over == 2) && waiting >= 2;
    const uint32_t first = index;
    if (spilled) {
        index = NextIndex(index, config.RxBuffers);
        count = ReceiveCount(port, index);
    }

    const CrcLayout crc = CrcOf(config.CrcUsed);
    uint32_t length = kCountStart - count;
    // No longer than its CRC, or a count of 0: delivered empty as a counted overrun.
    const bool runt = config.CrcUsed != 0 && (count >= crc.threshold || count == 0);
    if (runt) {
        length = crc.bytes;
    }
    // Longer than its buffer: delivered empty, flagged as an overrun.
    const bool too_long = length > config.RxBuffSize;
    if (too_long) {
        length = crc.bytes;
    }
    if (length > port.ReadLength) {
        // The frame (with its CRC bytes) needs this much room. It stays first in line, and its
        // errors are counted and flagged only by the read that takes it, so a retry with a
        // larger buffer does not count them twice.
        port.ReadLength = length;
        return false;
    }
    if (runt) {
        port.Overruns.fetch_add(1, std::memory_order_relaxed);
    }
    if (runt || too_long) {
        port.PortFlags |= RX_OVERRUN;
    }

    const uint16_t at = EntryAddress(port, index, DmaList::Receive);
    const uint16_t frame_status = hw.ReadWindow16(at + entry::kStatus);
    const uint32_t delivered = length - crc.bytes;
    CopyFromCard(port, RxBufferCardAddress(config, index), port.ReadBuffer, delivered);
    port.ReadLength = delivered;
    RearmReceiveEntry(port, index);
    if (spilled) {
        RearmReceiveEntry(port, first);
    }

    const uint32_t taken = spilled ? 2 : 1;
    const uint32_t left = port.RxFramesWaiting.fetch_sub(taken, std::memory_order_relaxed) - taken;
    if ((port.PortFlags & RX_STOPPED) && left < config.RxBuffers) {
        RestartReceiver(port);
    }
    port.RxReadIndex = NextIndex(index, config.RxBuffers);

    if (frame_status & status::kEntryOverrun) {
        port.Overruns.fetch_add(1, std::memory_order_relaxed);
        port.PortFlags |= RX_OVERRUN;
    }
    if (frame_status & status::kEntryCrcError) {
        port.CrcErrors.fetch_add(1, std::memory_order_relaxed);
        port.PortFlags |= RX_CRC_ERROR;
    }
    return true;
}

bool WriteFrame(PortContext& port) {
    const PortConfig& config = port.config;
    const uint32_t queued = port.TxFramesQueued.load(std::memory_order_relaxed);
    const uint32_t length = port.TransferLength;
    if (queued >= config.TxBuffers || port.TxWriteIndex >= config.TxBuffers || length == 0 ||
        length > config.TxBuffSize) {
        return false;
    }
    const uint32_t index = port.TxWriteIndex;
    EntryAddress(port, index, DmaList::Transmit);  // opens the window for host access
    CopyToCard(port, TxBufferCardAddress(config, index), port.TransferBuffer, length);

    // The count at +4 makes the entry valid for the DMA, so it is written after the control
    // block length.
    Hardware& hw = *port.hardware;
    const uint16_t at = EntryAddress(port, index, DmaList::Transmit);
    hw.WriteWindow16(at + entry::kCount, static_cast<uint16_t>(length));
    hw.WriteWindow16(at + entry::kLength, static_cast<uint16_t>(length));
    hw.WriteWindow16(at + entry::kSavedLength, static_cast<uint16_t>(length));
    port.TxFramesQueued.fetch_add(1, std::memory_order_relaxed);

    if ((port.PortFlags & TX_IDLE) && queued == 0) {
        port.PortFlags &= ~TX_IDLE;
        SetNextTransmitList(port, port.TxListBase + 16 * port.TxDoneIndex);
        IssueChannelCommand(port, ccar::kLoadTxCharCount);
        WriteIusc16(port, iusc::DCAR, dcar::kStartTx);
    }
    port.TxWriteIndex = NextIndex(index, config.TxBuffers);
    return true;
}

void ResetReceive(PortContext& port) {
    WriteIusc16(port, iusc::DCAR, dcar::kPauseRx);
    ClearReceiveRing(port);
    BuildDmaLists(port, BUILD_RECEIVE);
    WriteIusc8(port, iusc::RCSR_COMMAND, command::kEnterHuntMode);
    IssueChannelCommand(port, ccar::kPurgeRxFifo);
    WriteIusc16(port, iusc::CCSR, programme::kCcsrClear);
    SetNextReceiveList(port, port.RxListBase);
    SelectPage(port, 0);
    port.PortFlags &= ~RX_STOPPED;
    WriteIusc16(port, iusc::DCAR, dcar::kStartRx);
}

void ResetTransmit(PortContext& port) {
    WriteIusc16(port, iusc::DCAR, dcar::kPauseTx);
    ClearTransmitRing(port);
    BuildDmaLists(port, BUILD_TRANSMIT);
    IssueChannelCommand(port, ccar::kPurgeTxFifo);
    port.PortFlags |= TX_IDLE;
}

void ClearRings(PortContext& port) {
    ClearTransmitRing(port);
    ClearReceiveRing(port);
}

}  // namespace wyvel32
