#pragma once
// A fake pair (port 1: the engine, port 2: the far end) in virtual time, and helpers that run
// one send or receive of the engine against a FarEnd.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"
#include "terminal/protocol.h"
#include "terminal/tests/support/far_end.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/transfer_line.h"

namespace qorval::terminal::testing {

class TransferFixture : public ::testing::Test {
  protected:
    static constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

    void SetUp() override;
    void TearDown() override;

    // Our sender on port 1 sends `data` (as file "send.bin") to `far`.
    TransferOutcome SendTo(FarEnd* far, Protocol protocol, const std::vector<uint8_t>& data);
    // Our receiver on port 1 takes from `far`; XMODEM writes "received.bin", YMODEM the
    // directory "downloads".
    TransferOutcome ReceiveFrom(FarEnd* far, Protocol protocol);
    // Frames port 1 sent, when it runs without a peer.
    std::vector<std::vector<uint8_t>> SentFrames();

    std::string ReceivedPath() const { return dir.File("received.bin"); }
    std::string DownloadDir() const { return dir.File("downloads"); }
    bool HasMessage(const std::string& text) const;

    TempDir dir;
    Qorval_Port port{kDriver, 1};
    RecordingMessages messages;
    RecordingProgress progress;
    CancelFlag cancel{false};
    std::function<void()> dispatch;
    Protocol sender_protocol = Protocol::Xmodem;  // in force at the end of SendTo
    std::vector<uint8_t> far_heard;
    double line_bit_error_rate = 0;   // damage on the line to the far end, both ways
    uint32_t line_damaged_bytes = 0;  // what the far end got from the engine
};

}  // namespace qorval::terminal::testing
