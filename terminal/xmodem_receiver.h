#pragma once
// The receiving side of XMODEM, XMODEM-1K, YMODEM and YMODEM-G: one file, or a YMODEM batch.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "terminal/locked_file.h"
#include "terminal/protocol.h"
#include "terminal/transfer_line.h"
#include "terminal/user_interface.h"
#include "terminal/ymodem_header.h"

class Qorval_Port;

namespace qorval::terminal {

class XmodemReceiver {
  public:
    XmodemReceiver(Qorval_Port& port, const TransferUi& ui, Protocol protocol)
        : port_(port), ui_(ui), protocol_(protocol) {}

    // XMODEM: the file is written to `target`. YMODEM: each file of the batch is created in
    // the directory `target` under the name its header gives.
    TransferOutcome Run(const std::string& target);

    bool crc_mode() const { return crc_; }

  private:
    // Purges the line, then sends the start byte until the far end answers.
    Step Start();
    // One block numbered `number`; Block128 / Block1K leave its data in data_.
    Step ReceiveBlock(uint8_t number);
    // The rest of a block after its header byte; false when anything is missing or wrong.
    bool ReadBlockBody(uint8_t number, size_t size, bool& duplicate);
    Step ReceiveHeader(YmodemHeader& header);
    // Receives one file into `path`; Succeeded when its EOT came.
    TransferOutcome ReceiveFile(const std::string& path, std::optional<uint64_t> size);
    TransferOutcome Fail(std::string_view message);

    Qorval_Port& port_;
    const TransferUi& ui_;
    Protocol protocol_;
    bool crc_ = true;
    std::array<uint8_t, kLargeBlock> data_{};
};

}  // namespace qorval::terminal
