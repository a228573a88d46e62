#pragma once
// PortConfig: one port's configuration as gathered from the registry and the Plug and Play
// resources during one configuration pass. It is made zeroed for each pass and dropped at its
// end; only the copy in PortContext lives on.

#include <cstddef>
#include <cstdint>

namespace wyvel32 {

inline constexpr uint8_t kCardTypePci = 13;  // the only card this driver serves
inline constexpr uint8_t kCardTypeIsa = 7;   // the older card with jumpered resources
inline constexpr uint32_t kBusTypePci = 5;
inline constexpr uint32_t kIoLength = 8;           // board register block
inline constexpr uint32_t kMemoryLength = 0x4000;  // card-memory window
inline constexpr uint32_t kIuscLength = 256;       // IUSC register window
inline constexpr size_t kOscillatorField = 10;     // 9 characters and a terminating zero
inline constexpr uint32_t kNotSet = 0xFFFFFFFF;    // a configuration number that is not set

// Where the card sits on the PCI bus.
struct PciLocation {
    uint32_t BusNum = 0;
    uint32_t PCIDevice = 0;
    uint32_t PCIFunction = 0;
};

struct PortConfig {
    uint64_t BaseIO = 0;  // physical address of the 8-byte board register block
    uint64_t Memory = 0;  // physical address of the 16 KB card-memory window
    uint64_t IUSC = 0;    // physical address of the 256-byte IUSC register window
    uint32_t IoLength = 0;
    uint32_t MemoryLength = 0;
    uint32_t IuscLength = 0;
    uint32_t Interrupt = 0;  // interrupt level
    uint32_t InterruptVectorLevel = 0;

    // Registry values (their meaning is documented with the value table in registry_values.cpp).
    uint32_t TXCMode = 0;
    uint32_t Interface = 0;
    uint32_t Divisor = 0;
    uint32_t Dpll = 0;
    uint32_t DpllDivisor = 0;
    uint32_t DpllSource = 0;
    uint32_t CRCPreset = 0;
    uint32_t Protocol = 0;
    uint32_t IdleState = 0;
    uint32_t RxBuffSize = 0;
    uint32_t TxBuffSize = 0;
    uint32_t TxBuffers = 0;
    uint32_t RxBuffers = 0;
    uint32_t LoopBack = 0;
    uint32_t ByteSwapData = 0;
    uint32_t TxClock = 0;
    uint32_t RxClock = 0;
    uint32_t SyncNodeAddress = 0;
    uint32_t UseNodeAddress = 0;
    uint32_t CrcUsed = 0;
    uint32_t RS_485 = 0;
    uint32_t BRGSource = 0;
    uint32_t MinFlags = 0;
    uint32_t Enabled = 0;
    uint32_t BusType = 0;
    uint32_t BusNum = 0;
    uint32_t PCIDevice = 0;
    uint32_t PCIFunction = 0;
    uint32_t DMAThrottle = 0;

    uint8_t PortNumber = 0;                  // 1-based
    char Oscillator[kOscillatorField] = {};  // 8-bit text, zero-terminated

    uint32_t InterruptMode = 0;  // 1: level-sensitive (PCI)
    uint8_t ShareVector = 0;     // set for PCI
    uint8_t FloatingSave = 0;    // always 0

    uint64_t TranslatedBaseIO = 0;
    uint64_t MappedMemory = 0;  // host-side handle of the mapped memory window
    uint64_t MappedIusc = 0;    // host-side handle of the mapped register window

    uint32_t InterruptVector = 0;
    uint32_t Irql = 0;
    uint64_t Affinity = 0;

    uint8_t Card = 0;  // card type code; 13 for the PCI card

    PciLocation Location() const { return {BusNum, PCIDevice, PCIFunction}; }
};

inline constexpr uint32_t kInterruptModeLevel = 1;

}  // namespace wyvel32
