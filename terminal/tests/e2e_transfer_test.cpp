// File transfers between two ports of a driver host in this process, through the real port
// access library, with the ports' default settings: largest transmit and receive frame 1024
// bytes and a 32-bit frame check, on the pair paced at the default clock programme. Our sender
// runs on port 1 and our receiver on port 2, each on its own thread as two programs would.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "host/testing/in_process_host.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/locked_file.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace qorval::terminal::testing {
namespace {

class DefaultSettingsTransfer : public ::testing::TestWithParam<Protocol> {
  protected:
    void SetUp() override { SetTickSource(nullptr); }
};

TEST_P(DefaultSettingsTransfer, MovesTheFileIntact) {
    const Protocol protocol = GetParam();
    host::testing::InProcessHost host{host::BusOptions{}};
    ASSERT_EQ(host.Error(), "");
    TransferSide sending(1), receiving(2);
    ASSERT_EQ(sending.port.Open(), QORVAL_OK);
    ASSERT_EQ(receiving.port.Open(), QORVAL_OK);
    ASSERT_EQ(sending.port.TxFrameSize(), 1024);
    ASSERT_EQ(receiving.port.RxBufferSize(), 1024);

    // Whole 1K blocks, so that XMODEM's padding does not enter the comparison; YMODEM stores
    // the exact length, so its file ends inside a block.
    const size_t size = IsYmodem(protocol) ? 5000 : 5 * 1024;
    TempDir dir;
    const std::vector<uint8_t> data = Pattern(size);
    WriteBytes(dir.File("send.bin"), data);
    std::filesystem::create_directory(dir.File("in"));

    TransferOutcome received = TransferOutcome::Failed;
    std::thread receiver([&] {
        const TransferUi ui = receiving.Ui();
        XmodemReceiver r(receiving.port, ui, protocol);
        received = r.Run(IsYmodem(protocol) ? dir.File("in") : dir.File("in/send.bin"));
    });
    auto file = LockedFile::OpenForReading(dir.File("send.bin"));
    ASSERT_TRUE(file);
    const TransferUi ui = sending.Ui();
    XmodemSender s(sending.port, ui, protocol);
    const TransferOutcome sent = s.Run(*file, dir.File("send.bin"));
    receiver.join();

    EXPECT_EQ(sent, TransferOutcome::Succeeded) << ::testing::PrintToString(
        sending.messages.CaptionTexts());
    EXPECT_EQ(received, TransferOutcome::Succeeded) << ::testing::PrintToString(
        receiving.messages.CaptionTexts());
    EXPECT_EQ(ReadBytes(dir.File("in/send.bin")), data);
}

INSTANTIATE_TEST_SUITE_P(EveryProtocol, DefaultSettingsTransfer,
                         ::testing::Values(Protocol::Xmodem, Protocol::Xmodem1K, Protocol::Ymodem,
                                           Protocol::YmodemG),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Protocol::Xmodem: return std::string("Xmodem");
                                 case Protocol::Xmodem1K: return std::string("Xmodem1K");
                                 case Protocol::Ymodem: return std::string("Ymodem");
                                 default: return std::string("YmodemG");
                             }
                         });

}  // namespace
}  // namespace qorval::terminal::testing
