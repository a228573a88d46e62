#pragma once
// The sending side of XMODEM, XMODEM-1K, YMODEM and YMODEM-G for one file.

#include <array>
#include <cstdint>
#include <string_view>

#include "terminal/locked_file.h"
#include "terminal/protocol.h"
#include "terminal/transfer_line.h"
#include "terminal/user_interface.h"
#include "terminal/ymodem_header.h"

class Qorval_Port;

namespace qorval::terminal {

class XmodemSender {
  public:
    XmodemSender(Qorval_Port& port, const TransferUi& ui, Protocol protocol)
        : port_(port), ui_(ui), protocol_(protocol) {}

    // Sends `file` (named `name` in a YMODEM header), showing status texts, progress and
    // messages. The file is closed when this returns.
    TransferOutcome Run(LockedFile& file, std::string_view name);

    // The protocol in force after the receiver's start byte ("C" turns YMODEM-G into YMODEM).
    Protocol protocol() const { return protocol_; }
    bool crc_mode() const { return crc_; }

  private:
    // Up to 12 seconds for NAK, "C" or "G"; Timeout or RemoteCancelled (the cancel flag).
    Step WaitForStart(uint8_t& start);
    // Up to 1 second for ACK, NAK or CAN CAN; a cancel ends it early as a timeout.
    Step WaitForResponse();
    Step SendDataBlock(uint8_t number);
    Step SendHeader(const HeaderBlock& header);
    Step SendEndOfFile();
    TransferOutcome Fail(std::string_view message);
    // The user cancelled (or the port went): eight CAN bytes, the file closed.
    TransferOutcome EndCancelled();

    Qorval_Port& port_;
    const TransferUi& ui_;
    Protocol protocol_;
    bool crc_ = true;
    LockedFile* file_ = nullptr;
    uint64_t position_ = 0;
    std::array<uint8_t, kMaxBlockFrame> frame_{};
    std::array<uint8_t, kLargeBlock> data_{};
};

}  // namespace qorval::terminal
