#pragma once
// The IUSC channel's state in one struct. The default member values are the reset values; a
// board reset is "state = IuscState{}". Fields hold what the chip keeps; command fields that
// act and self-clear are not held anywhere.

#include <cstdint>

namespace qorval::sim {

// What the high byte of RICR/TICR reads, chosen by the last receive/transmit command.
enum class LevelSelect : uint8_t {
    FifoStatus,      // command 5, and after reset: bytes in the receive FIFO / free in transmit
    InterruptLevel,  // command 6: the interrupt level last written to the high byte
    RequestLevel,    // command 7: the DMA request level last written to the high byte
};

// One DMA channel's working state (not visible as registers).
struct DmaChannel {
    bool running = false;      // after reset no channel runs until initialised through DCAR
    uint32_t entry = 0;        // card address of the list entry in use or to fetch next
    uint32_t link = 0;         // the link word of that entry, once fetched
    bool have_buffer = false;  // an entry was fetched and its buffer is being filled/emptied
    uint32_t buffer = 0;       // card address of that buffer
    uint32_t count = 0;        // its byte count, clamped to card memory
    uint32_t position = 0;     // bytes moved so far
};

struct IuscState {
    bool bus_configured = false;  // the first write after reset is taken as bus configuration
    uint16_t bcr = 0;             // that bus configuration word

    // Serial controller.
    uint16_t ccar = 0;       // bits 9-8 channel mode and the low byte; commands not held
    bool msb_first = false;  // HDLC sends the least significant bit first after reset
    uint16_t cmr = 0;        // no mode selected until the programme writes one
    uint8_t ccsr_low = 0;    // low byte of CCSR as written
    uint16_t ccr = 0;        // no preamble, one-word status blocks
    uint16_t pcr = 0;        // every port pin an input: DTR and RTS not driven
    uint16_t cmcr = 0;       // no clock sources selected
    uint16_t hcr = 0;        // baud rate generator 0 disabled
    uint16_t iocr = 0;
    uint16_t icr = 0;  // serial interrupts disabled
    uint8_t dccr_high = 0;
    uint8_t dccr_pending = 0;  // serial interrupt pending bits 5-0 (DCCR low byte)
    uint16_t psr_latch = 0;    // PSR "changed" latches
    uint16_t tc0r = 0;
    uint16_t rmr = 0;  // receiver disabled
    uint16_t tmr = 0;  // transmitter disabled
    uint16_t rsr = 0;
    uint16_t rclr = 0;
    uint16_t rcsr_status = 0;  // receive status bits 11-0
    uint16_t tcsr_status = 0;  // transmit status bits 7-0
    uint16_t tcsr_idle = 0;    // TCSR bits 11-8: idle line state (flags after reset)
    uint8_t ricr_low = 0;      // receive status arms
    uint8_t ticr_low = 0;      // transmit status arms
    LevelSelect rx_select = LevelSelect::FifoStatus;  // reset selects the FIFO status
    LevelSelect tx_select = LevelSelect::FifoStatus;
    uint8_t rx_interrupt_level = 0;
    uint8_t rx_request_level = 0;
    uint8_t tx_interrupt_level = 0;
    uint8_t tx_request_level = 0;

    // DMA section.
    uint16_t dcar = 0;  // bits 9-8 as written; commands not held
    uint16_t tdmr = 0;  // mode bits 15-4
    uint16_t rdmr = 0;
    uint8_t tdmr_status = 0;  // end of buffer / end of list, cleared by reading TDMR
    uint8_t rdmr_status = 0;
    uint16_t dcr = 0;
    uint16_t bdcr = 0;
    uint16_t dicr = 0;        // DMA interrupts disabled
    uint8_t dma_pending = 0;  // bit 0 transmit, bit 1 receive
    uint16_t tdiar = 0;       // nothing armed
    uint16_t rdiar = 0;
    uint16_t ntarl = 0, ntaru = 0;
    uint16_t nrarl = 0, nraru = 0;
    DmaChannel tx_dma;
    DmaChannel rx_dma;
};

}  // namespace qorval::sim
