#pragma once
// Qorval_Port: the one object through which the terminal, the bit error rate tester and the
// shared port dialogs use a port. It remembers which driver and port to use, holds the library
// handle and turns the library's frame-at-a-time reads into a byte stream with timeouts counted
// in whole seconds of the millisecond tick count (portaccess/tick_count.h).
//
// The same class, with this member layout, is built into the dialogs library and into each tool,
// so an object made by a tool is used by dialogs code: keep the members, their order and their
// types as they are, and keep the destructor the only virtual function.
//
// The object holds no lock. The receive members are used by one thread at a time; the tester's
// workers use only GetHandle, GetPortInfo and TxBuffersFree.

#include <cstdint>
#include <functional>

#include "portaccess/port_close_runner.h"
#include "portaccess/qorval32.h"

// Result codes of the wrapper's own, beside the library's codes 1 to 18.
enum : uint32_t {
    QP_NO_TX_BUFFER = 16,  // no transmit buffer became free within 5 seconds
    QP_LINE_BUSY = 30,     // Purge ended while data was still arriving
    QP_NO_MEMORY = 31,     // Open failed to allocate the receive buffer
    QP_NO_DATA = 32        // GetByte timed out
};

class Qorval_Port {
  public:
    // Driver type 0, port 1, closed.
    Qorval_Port();
    // Closed, remembering the given driver type (0 to 3) and port number (from 1).
    Qorval_Port(uint16_t driverType, uint16_t portNumber);
    virtual ~Qorval_Port();

    Qorval_Port(const Qorval_Port&) = delete;
    Qorval_Port& operator=(const Qorval_Port&) = delete;

    // Closes, then remembers the driver type and port number; does not open.
    void SelectPort(uint16_t driverType, uint16_t portNumber);
    uint16_t GetDriverType() const { return driverType; }
    uint16_t GetPortNumber() const { return portNumber; }

    // Opens the selected port and allocates the receive buffer (QP_NO_MEMORY when that fails).
    [[nodiscard]] uint32_t Open();
    // Frees the buffer and calls QORVAL_PortClose even with handle 0; returns its result.
    uint32_t Close();
    // Close with the library's close run by `run` (empty: on this thread): the object is closed
    // already (IsOpen false, buffer freed) when `run` is called, so whatever runs meanwhile
    // sees a closed port.
    uint32_t Close(const PortCloseRunner& run);
    bool IsOpen() const { return handle != 0; }
    QORVAL_HANDLE GetHandle() const { return handle; }
    // Largest receive / transmit frame taken from PortInfo at Open; 0 while closed.
    uint16_t RxBufferSize() const { return rxBufferSize; }
    uint16_t TxFrameSize() const { return txFrameSize; }

    // Pass-through to the library with this object's handle.
    uint32_t GetSystemInfo(SystemInfo& info);
    uint32_t GetPortInfo(PortInfo& info);
    uint32_t GetPortState(PortState& state);
    uint32_t SetPortState(const PortState& state);
    uint32_t GetModemControl(uint16_t& word);

    // True when buffered bytes are waiting; refills the buffer from one frame when empty.
    // A frame that comes with an error result is dropped. The second form hands back the
    // library result of the read (0 when bytes were already buffered).
    bool Poll();
    bool Poll(uint32_t& result);

    // One byte within `timeoutSeconds` (0: one read attempt): 0, the library's error, or
    // QP_NO_DATA.
    uint32_t GetByte(uint8_t& out, uint32_t timeoutSeconds);
    // Up to `count` bytes until more than `timeoutSeconds` have passed; `got` says how many.
    // Returns the last library result (0 when time ran out).
    uint32_t GetBlock(uint8_t* buffer, uint32_t count, uint32_t& got, uint32_t timeoutSeconds);
    // One single-byte frame; QP_NO_TX_BUFFER when no transmit buffer frees within 5 seconds,
    // the library's result at once when the free buffers cannot be counted.
    uint32_t PutByte(uint8_t byte);
    // The data cut into frames of at most PieceSize() bytes. Each piece waits for a free
    // transmit buffer as PutByte does, but a count that reported several free covers as many
    // pieces.
    uint32_t PutBlock(const uint8_t* data, uint32_t length);
    // PutBlock with the caller's wait for a free transmit buffer in place of the 5-second one:
    // `wait` returns 0 with the count of free buffers in `free` (at least 1), or the result the
    // block ends with. A window passes a wait that keeps handling its events.
    using TxBufferWait = std::function<uint32_t(uint16_t& free)>;
    uint32_t PutBlock(const uint8_t* data, uint32_t length, const TxBufferWait& wait);
    // The longest frame PutBlock sends: TxFrameSize(), but no longer than a port set up like
    // this one can receive with a 32-bit frame check (RxBufferSize() - 4).
    uint32_t PieceSize() const;

    // Bytes buffered after one refill attempt when empty.
    uint32_t BytesWaiting();
    // Forgets buffered bytes; false when the port is not open.
    bool DiscardInput();
    // Drains the line until one full quiet second or `limitSeconds`; QP_LINE_BUSY when data was
    // still arriving at the end.
    uint32_t Purge(uint32_t limitSeconds);
    // DiscardInput, then one QORVAL_GetData into the caller's buffer.
    uint32_t GetFrame(uint8_t* buffer, uint16_t size, uint32_t& length);

    // Counts of QORVAL_GetBufferCount; 0 on error.
    uint16_t TxBuffersFree();
    uint16_t FramesWaiting();

    // Modem outputs and inputs (0 or 1; 0 on error).
    uint32_t SetDTR(bool on);
    uint32_t SetRTS(bool on);
    int GetDTR();
    int GetRTS();
    int GetCTS();
    int GetDSR();
    int GetDCD();
    int GetRI();

  private:
    // Waits up to 5 seconds for a free transmit buffer; `free` is the count that ended the wait.
    // A failed count ends it at once with the library's result.
    uint32_t WaitForTxBuffer(uint16_t& free);
    uint32_t SetModemBit(uint16_t bit, bool on);
    int GetModemBit(uint16_t bit);
    void ReleaseBuffer();

    uint8_t* rxBuffer = nullptr;  // rxBufferSize bytes while open, null while closed
    uint32_t rxCount = 0;         // bytes of the last received frame held in rxBuffer
    uint32_t rxIndex = 0;         // next unread byte; equal to rxCount means empty
    QORVAL_HANDLE handle = 0;     // 0 while not open
    uint16_t rxBufferSize = 0;    // PortInfo largest receive frame, taken at Open
    uint16_t txFrameSize = 0;     // PortInfo largest transmit frame, taken at Open
    uint16_t driverType = 0;      // driver type code 0 to 3
    uint16_t portNumber = 1;      // counted from 1
};
