#pragma once
// An in-process stand-in for libqorval32. A test binary links qorval32_fake instead of the real
// library and drives the ports through FakeLibrary: ports are added, wired in pairs or loops,
// frames are scripted to arrive at given times of a virtual millisecond clock, and single calls
// can be made to fail. Every QORVAL_* function of portaccess/qorval32.h is implemented and
// behaves as the adapter driver does as the tools see it:
//
//  - one handle per port (a second open: 9), unknown driver type 11, unknown port 10, a handle
//    that is not open 18;
//  - GetData into a buffer smaller than the waiting frame: 12 with length 0, the frame stays;
//  - GetDataTimed stamps a frame with the moment it arrived on the virtual clock
//    (ArrivalNsOf: a fixed day plus its arrival in milliseconds);
//  - PutData longer than the largest transmit frame: 4; no free transmit buffer: 16;
//  - a frame put on a paired port waits in the peer's receive buffers; when all rx_buffers are
//    taken, or the peer is not open, the frame is dropped and counted in DroppedFrames;
//  - modem lines are crossed on a pair (DTR to DSR and DCD, RTS to CTS), and a loopback port
//    sees its own; SetModemInputs bits are added to those;
//  - ResetBuffers 1 drops the frames waiting, 2 the transmit side (nothing is held there),
//    3 both; other masks give 4;
//  - TransmitCommChar sends the byte as a one-byte frame;
//  - SystemInfo lists all four drivers with four ports each, as the real library does; the
//    present flags mark the drivers and ports added here (ports above 4 are not listed);
//  - a host that dies and a port that is removed fail as with the real library (KillHost,
//    RemovePort).
//
// All functions are thread-safe. Every QORVAL_* call is logged as "Name(handle)" (PortOpen as
// "QORVAL_PortOpen(driver,port)", GetSystemInfo as "QORVAL_GetSystemInfo()"); ResetBuffers,
// SetModemControl, SetNodeAddress and TransmitCommChar add their value in decimal
// ("QORVAL_SetModemControl(1,17)").

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::fake {

struct FakePortSpec {
    uint16_t driver_type = 3;  // QORVAL_DRIVER_WYVEL32
    uint16_t port = 1;         // 1-based
    uint16_t max_rx_frame = 1024, max_tx_frame = 1024;
    uint16_t rx_buffers = 100, tx_buffers = 100;
};

struct SentFrame {
    std::vector<uint8_t> bytes;
    uint32_t at_ms;
};

struct FakeState;

class FakeLibrary {
  public:
    static FakeLibrary& Instance();

    // No drivers, no ports, clock 0, auto-advance 0, failures and call log cleared, the
    // virtual clock installed as the tick source.
    void Reset();
    // Adds (or replaces, closed) a port; its driver becomes present in SystemInfo.
    void AddPort(const FakePortSpec& port_spec);
    // Frames put on one port arrive at the other (port_a == port_b: loopback).
    void ConnectPair(uint16_t driver, uint16_t port_a, uint16_t port_b);
    // A scripted arrival, readable once the clock reaches at_ms; GetData returns `result` with
    // it (the bytes are still delivered). Scripted frames are kept in order of at_ms and are not
    // limited by rx_buffers.
    void QueueFrame(uint16_t driver, uint16_t port, std::vector<uint8_t> bytes, uint32_t at_ms = 0,
                    uint32_t result = 0);
    // Frames put on a port without a peer, oldest first; the list is emptied.
    std::vector<SentFrame> TakeSentFrames(uint16_t driver, uint16_t port);
    // Frames that a paired port could not take (receive buffers full or port closed).
    uint32_t DroppedFrames(uint16_t driver, uint16_t port) const;
    // The next call of the named function returns `result` without acting.
    void FailNext(std::string_view function, uint32_t result);
    // Forces the free transmit buffer count (0: none free); nullopt returns to the real count.
    void SetTxBuffersFree(uint16_t driver, uint16_t port, std::optional<uint16_t> count);
    // DSR/DCD/CTS/RI bits seen by the port.
    void SetModemInputs(uint16_t driver, uint16_t port, uint16_t bits);
    // PortInfo reported from now on, in place of the adapter driver's record (for a card,
    // oscillator or capability mask the adapter driver never reports).
    void SetPortInfo(uint16_t driver, uint16_t port, const PortInfo& info);
    // The driver count QORVAL_GetSystemInfo reports from now on, in place of 4 (the four
    // entries stay, one per driver type); nullopt returns to 4.
    void SetReportedDriverCount(std::optional<uint16_t> count);
    // The driver host dies, as the real library sees it: QORVAL_GetSystemInfo fails with 14, an
    // open fails with 10 (a port socket nobody listens on), every handle open now fails every
    // call with 14 for good; closing it succeeds.
    void KillHost();
    // A host runs again: SystemInfo and opens work as before; the handles the dead host served
    // stay dead.
    void RestartHost();
    // The port's device is surprise-removed: its open handle fails every call with 7 (closing
    // it succeeds), SystemInfo no longer lists it and an open gives 10. AddPort brings it back.
    void RemovePort(uint16_t driver, uint16_t port);
    // QORVAL_PortClose runs `wait` first (on the caller's thread, outside the fake's lock), as
    // the real library waits for the frames a port queued to leave the card; empty: no wait.
    void SetCloseWait(std::function<void()> wait);
    // The whole PortState as the port reports it from now on, settings and counters.
    void SetPortState(uint16_t driver, uint16_t port, const PortState& state);
    // The record last given to QORVAL_SetPortState, byte for byte; nullopt when none was.
    std::optional<PortState> LastPortStateWritten(uint16_t driver, uint16_t port) const;

    // The arrival time GetDataTimed gives a frame that arrived at `at_ms` of the virtual clock.
    static constexpr uint64_t kArrivalEpochNs = 1'700'000'000'000'000'000;
    static constexpr uint64_t ArrivalNsOf(uint32_t at_ms) {
        return kArrivalEpochNs + uint64_t{at_ms} * 1'000'000;
    }

    uint32_t NowMs() const;
    void AdvanceMs(uint32_t ms);
    // Every QORVAL_* call advances the clock by this much, so timeouts pass without real time.
    void SetAutoAdvanceMs(uint32_t ms_per_call);

    std::vector<std::string> CallLog() const;
    void ClearCallLog();

    // The model behind the QORVAL_* functions (fake_qorval32.cpp).
    FakeState& State() { return *state_; }

  private:
    FakeLibrary();
    std::unique_ptr<FakeState> state_;
};

}  // namespace qorval::fake
