// Sender and receiver against reference far ends on a fake pair, in virtual time.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/fifo_watchdog.h"
#include "terminal/tests/support/transfer_fixture.h"

namespace qorval::terminal::testing {
namespace {

using Mode = ReferenceReceiver::Mode;

// The data blocks a sender of `protocol` uses for a file of `size` bytes.
std::vector<size_t> ExpectedBlocks(Protocol protocol, size_t size) {
    std::vector<size_t> blocks;
    for (size_t rest = size; rest > 0;) {
        const size_t block = protocol != Protocol::Xmodem && rest >= 1024 ? 1024 : 128;
        blocks.push_back(block);
        rest -= std::min(block, rest);
    }
    return blocks;
}

std::vector<uint8_t> Padded(std::vector<uint8_t> data, size_t to, uint8_t pad) {
    data.resize(to, pad);
    return data;
}

size_t Total(const std::vector<size_t>& blocks) {
    size_t n = 0;
    for (size_t b : blocks) {
        n += b;
    }
    return n;
}

bool EndsWithCancelBytes(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 8) {
        return false;
    }
    return std::all_of(bytes.end() - 8, bytes.end(), [](uint8_t b) { return b == 0x18; });
}

// ---- the sender, every protocol and receiver mode over a grid of file sizes ----

struct SendCase {
    Protocol protocol;
    Mode mode;
};

class SenderGrid : public TransferFixture,
                   public ::testing::WithParamInterface<std::tuple<SendCase, size_t>> {};

TEST_P(SenderGrid, DeliversTheFileInTheRightBlocks) {
    const auto [c, size] = GetParam();
    const std::vector<uint8_t> data = Pattern(size);
    ReferenceReceiver far;
    far.mode = c.mode;
    far.ymodem = IsYmodem(c.protocol);

    EXPECT_EQ(SendTo(&far, c.protocol, data), TransferOutcome::Succeeded);
    EXPECT_TRUE(HasMessage("File(s) successfully transmitted."));
    EXPECT_TRUE(far.finished);
    const std::vector<size_t> blocks = ExpectedBlocks(c.protocol, size);
    EXPECT_EQ(far.block_sizes, blocks);
    EXPECT_EQ(far.data, Padded(data, Total(blocks), 0xFF));
    if (far.ymodem) {
        EXPECT_EQ(far.name, "send.bin");
        EXPECT_EQ(far.size_text, std::to_string(size));
    }
    if (size > 0) {
        EXPECT_EQ(progress.percent, 100);
        EXPECT_EQ(progress.text,
                  std::to_string(size) + " of " + std::to_string(size) + " bytes sent");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SenderGrid,
    ::testing::Combine(::testing::Values(SendCase{Protocol::Xmodem, Mode::Checksum},
                                         SendCase{Protocol::Xmodem, Mode::Crc},
                                         SendCase{Protocol::Xmodem1K, Mode::Crc},
                                         SendCase{Protocol::Ymodem, Mode::Crc},
                                         SendCase{Protocol::YmodemG, Mode::Streaming}),
                       ::testing::Values(0, 1, 127, 128, 129, 1023, 1024, 1025, 1500, 4000)));

// ---- the receiver against a reference sender ----

struct ReceiveCase {
    Protocol protocol;
    size_t far_block;
};

class ReceiverGrid : public TransferFixture,
                     public ::testing::WithParamInterface<std::tuple<ReceiveCase, size_t>> {};

TEST_P(ReceiverGrid, StoresWhatWasSent) {
    const auto [c, size] = GetParam();
    ReferenceSender far;
    far.file = Pattern(size, 7);
    far.ymodem = IsYmodem(c.protocol);
    far.block_size = c.far_block;

    EXPECT_EQ(ReceiveFrom(&far, c.protocol), TransferOutcome::Succeeded);
    EXPECT_TRUE(far.finished);
    if (far.ymodem) {
        // Exactly the size the header gave, without the padding.
        EXPECT_EQ(ReadBytes(DownloadDir() + "/far.bin"), far.file);
        EXPECT_TRUE(HasMessage("Done receiving files."));
    } else {
        // No size is known: whole blocks, padding included.
        const auto blocks =
            ExpectedBlocks(c.far_block == 1024 ? Protocol::Xmodem1K : Protocol::Xmodem, size);
        EXPECT_EQ(ReadBytes(ReceivedPath()), Padded(far.file, Total(blocks), 0x1A));
        EXPECT_TRUE(HasMessage("Finished receiving file."));
        if (size > 0) {
            EXPECT_EQ(progress.text, std::to_string(Total(blocks)) + " bytes received");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReceiverGrid,
                         ::testing::Combine(::testing::Values(ReceiveCase{Protocol::Xmodem, 128},
                                                              ReceiveCase{Protocol::Xmodem1K, 1024},
                                                              ReceiveCase{Protocol::Ymodem, 1024},
                                                              ReceiveCase{Protocol::YmodemG, 1024}),
                                            ::testing::Values(0, 1, 127, 128, 129, 1023, 1024, 1025,
                                                              3000)));

// ---- faults on the line and at the far end ----

using TransferFaults = TransferFixture;

TEST_F(TransferFaults, ReceiverRecoversFromDamagedBlocksAndLostAcks) {
    ReferenceSender far;
    far.file = Pattern(900, 3);
    far.corrupt_once = {2, 5};
    // Block 3 is acknowledged but the ACK never reaches the sender, which sends it again.
    far.lose_ack_once = {3};
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Succeeded);
    EXPECT_EQ(ReadBytes(ReceivedPath()), Padded(far.file, 1024, 0x1A));
    EXPECT_GE(far.resends, 3);
}

// A line with a bit error rate of 1 in 20000, both ways: about one 1K block in three and one
// answer in two thousand arrive damaged.
TEST_F(TransferFaults, FilesCrossALineWithBitErrorsIntact) {
    line_bit_error_rate = 5e-5;
    for (const Protocol protocol : {Protocol::Xmodem, Protocol::Xmodem1K, Protocol::Ymodem}) {
        SCOPED_TRACE(std::string(ProtocolName(protocol)));
        ReferenceSender from;
        from.file = Pattern(10000, 5);
        from.ymodem = IsYmodem(protocol);
        from.block_size = protocol == Protocol::Xmodem ? 128 : 1024;
        EXPECT_EQ(ReceiveFrom(&from, protocol), TransferOutcome::Succeeded)
            << ::testing::PrintToString(messages.CaptionTexts());
        const auto got =
            ReadBytes(IsYmodem(protocol) ? DownloadDir() + "/far.bin" : ReceivedPath());
        ASSERT_GE(got.size(), from.file.size());
        EXPECT_TRUE(std::equal(from.file.begin(), from.file.end(), got.begin()));
        EXPECT_GT(line_damaged_bytes, 0u);
        port.Close();
        cancel = false;  // an XMODEM receive ends with the flag set

        ReferenceReceiver to;
        to.ymodem = IsYmodem(protocol);
        const auto data = Pattern(10000, 6);
        EXPECT_EQ(SendTo(&to, protocol, data), TransferOutcome::Succeeded)
            << ::testing::PrintToString(messages.CaptionTexts());
        ASSERT_GE(to.data.size(), data.size());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), to.data.begin()));
        EXPECT_GT(line_damaged_bytes, 0u);
        port.Close();
        cancel = false;
    }
}

TEST_F(TransferFaults, XmodemReceiverFallsBackToChecksums) {
    ReferenceSender far;
    far.checksum_only = true;
    far.file = Pattern(700, 9);
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Succeeded);
    EXPECT_EQ(far.start_bytes, std::vector<uint8_t>{0x15});
    EXPECT_EQ(ReadBytes(ReceivedPath()), Padded(far.file, 768, 0x1A));
    // Three requests for CRC went unanswered first.
    EXPECT_EQ(std::count(far_heard.begin(), far_heard.end(), uint8_t{'C'}), 3);
}

TEST_F(TransferFaults, SenderRepeatsRefusedBlocksAndEot) {
    ReferenceReceiver far;
    far.corrupt_once = {1, 3};
    far.nak_first_eot = true;
    const auto data = Pattern(600);
    EXPECT_EQ(SendTo(&far, Protocol::Xmodem, data), TransferOutcome::Succeeded);
    EXPECT_EQ(far.data, Padded(data, 640, 0xFF));
    EXPECT_EQ(far.naks_sent, 2);
}

TEST_F(TransferFaults, YmodemGAnsweredWithCRunsWithAcknowledgements) {
    ReferenceReceiver far;
    far.mode = Mode::Crc;
    far.ymodem = true;
    far.corrupt_once = {1};  // only a sender that waits for answers gets past this
    const auto data = Pattern(2000);
    EXPECT_EQ(SendTo(&far, Protocol::YmodemG, data), TransferOutcome::Succeeded);
    EXPECT_EQ(sender_protocol, Protocol::Ymodem);
    EXPECT_EQ(far.data, Padded(data, 2048, 0xFF));
}

TEST_F(TransferFaults, StreamedBlockThatNeverLeftIsAFailureNotASuccess) {
    ReferenceReceiver far;
    far.mode = Mode::Streaming;
    far.ymodem = true;
    // Once the header is through, no transmit buffer frees any more: nothing is acknowledged
    // in streaming mode, so only the port's answer can tell that the block never left.
    dispatch = [&] {
        if (!far.name.empty()) {
            fake::FakeLibrary::Instance().SetTxBuffersFree(kDriver, 1, 0);
        }
    };
    EXPECT_EQ(SendTo(&far, Protocol::YmodemG, Pattern(3000)), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Timed out waiting for receiver to acknowledge block."));
}

TEST_F(TransferFaults, SilentFarEndGetsCThenNakAndATimeout) {
    const auto fixed = [&] { return ReceiveFrom(nullptr, Protocol::Xmodem); }();
    EXPECT_EQ(fixed, TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Timed out waiting for transmitter to send file."));
    std::vector<std::vector<uint8_t>> expected(3, {'C'});
    expected.insert(expected.end(), 7, {0x15});
    EXPECT_EQ(SentFrames(), expected);
}

TEST_F(TransferFaults, SilentReceiverTimesOutTheSender) {
    EXPECT_EQ(SendTo(nullptr, Protocol::Ymodem, Pattern(10)), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Timed out waiting for receiver to initiate transfer."));
    EXPECT_GE(fake::FakeLibrary::Instance().NowMs(), 12000u);
    EXPECT_TRUE(SentFrames().empty());
}

TEST_F(TransferFaults, ReceiverCancelsWithCanCan) {
    ReferenceReceiver far;
    far.cancel_after = 2;
    EXPECT_EQ(SendTo(&far, Protocol::Xmodem, Pattern(1000)), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Transfer cancelled by receiver."));
    EXPECT_EQ(far.blocks, 2);
}

TEST_F(TransferFaults, TransmitterCancelsWithCanCanAndIsAnsweredWithCan) {
    ReferenceSender far;
    far.file = Pattern(1000);
    far.cancel_at = 3;
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Transfer cancelled by transmitter."));
    EXPECT_TRUE(EndsWithCancelBytes(far_heard));
    EXPECT_TRUE(cancel.load());
    // The two blocks before the cancel were kept.
    EXPECT_EQ(ReadBytes(ReceivedPath()).size(), 256u);
}

TEST_F(TransferFaults, UserCancelStopsTheSenderBetweenBlocksWithCan) {
    int calls = 0;
    dispatch = [&] {
        if (++calls == 4) {
            cancel = true;
        }
    };
    ReferenceReceiver far;
    EXPECT_EQ(SendTo(&far, Protocol::Xmodem, Pattern(5000)), TransferOutcome::Cancelled);
    EXPECT_TRUE(messages.CaptionTexts().empty());
    EXPECT_TRUE(EndsWithCancelBytes(far_heard));
    EXPECT_LT(far.blocks, 5);
}

// A line whose transmit buffers stop freeing: the block waiting for one keeps the window's
// events going, a Cancel ends that wait at once, and the CAN burst that follows gives up within
// a second instead of waiting for a buffer per byte.
TEST_F(TransferFaults, CancelEndsAWaitForATransmitBufferAtOnce) {
    auto& fake = fake::FakeLibrary::Instance();
    ReferenceReceiver far;
    uint32_t cancelled_at = 0;
    int stalled_dispatches = 0;
    dispatch = [&] {
        if (far.blocks < 2 || cancelled_at != 0) {
            return;
        }
        fake.SetTxBuffersFree(kDriver, 1, 0);
        if (++stalled_dispatches == 20) {
            cancel = true;
            cancelled_at = fake.NowMs();
        }
    };
    EXPECT_EQ(SendTo(&far, Protocol::Xmodem1K, Pattern(20000)), TransferOutcome::Cancelled);
    ASSERT_NE(cancelled_at, 0u);
    EXPECT_LT(fake.NowMs() - cancelled_at, 1500u);
    EXPECT_TRUE(messages.CaptionTexts().empty());
    EXPECT_EQ(far.blocks, 2);
}

TEST_F(TransferFaults, UserCancelStopsTheReceiverWithCan) {
    // Cancel once a few blocks are in (the waits of the start dispatch too, so a count of
    // dispatches says nothing about where the transfer is).
    dispatch = [&] {
        if (!messages.statuses.empty() && messages.statuses.back() == "Block #3 received") {
            cancel = true;
        }
    };
    ReferenceSender far;
    far.file = Pattern(20000);
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Cancelled);
    EXPECT_TRUE(EndsWithCancelBytes(far_heard));
    EXPECT_EQ(ReadBytes(ReceivedPath()).size(), 3u * 128);
}

TEST_F(TransferFaults, XmodemReceiveEndsWithCancelBytesAfterTheEotAck) {
    ReferenceSender far;
    far.file = Pattern(100);
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Succeeded);
    ASSERT_GE(far_heard.size(), 9u);
    EXPECT_EQ(far_heard[far_heard.size() - 9], 0x06);
    EXPECT_TRUE(EndsWithCancelBytes(far_heard));
}

TEST_F(TransferFaults, EmptyYmodemFileIsStoredEmptyAtFullProgress) {
    ReferenceSender far;
    far.ymodem = true;
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Ymodem), TransferOutcome::Succeeded);
    EXPECT_TRUE(std::filesystem::exists(DownloadDir() + "/far.bin"));
    EXPECT_EQ(std::filesystem::file_size(DownloadDir() + "/far.bin"), 0u);
    EXPECT_EQ(progress.percent, 100);
}

// ---- names from YMODEM headers ----

struct NameCase {
    const char* sent;
    const char* stored;  // nullptr: refused
};

class HeaderNames : public TransferFixture, public ::testing::WithParamInterface<NameCase> {};

TEST_P(HeaderNames, NeverWriteOutsideTheDownloadDirectory) {
    ReferenceSender far;
    far.ymodem = true;
    far.name = GetParam().sent;
    far.file = Pattern(300);
    const TransferOutcome outcome = ReceiveFrom(&far, Protocol::Ymodem);
    // Nothing was created beside the download directory.
    size_t beside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        beside += entry.path().filename() != "downloads";
    }
    EXPECT_EQ(beside, 0u);
    if (GetParam().stored != nullptr) {
        EXPECT_EQ(outcome, TransferOutcome::Succeeded);
        EXPECT_EQ(ReadBytes(DownloadDir() + "/" + GetParam().stored), far.file);
    } else {
        EXPECT_EQ(outcome, TransferOutcome::Failed);
        ASSERT_EQ(messages.CaptionTexts().size(), 1u);
        EXPECT_NE(messages.CaptionTexts()[0].find("Refusing the file name"), std::string::npos);
        EXPECT_TRUE(EndsWithCancelBytes(far_heard));
        EXPECT_TRUE(std::filesystem::is_empty(DownloadDir()));
    }
}

INSTANTIATE_TEST_SUITE_P(Names, HeaderNames,
                         ::testing::Values(NameCase{"plain.txt", "plain.txt"},
                                           NameCase{"../../escape.bin", "escape.bin"},
                                           NameCase{"/etc/absolute", "absolute"},
                                           NameCase{"c:\\dos\\path.txt", "path.txt"},
                                           NameCase{"..", nullptr}, NameCase{"dir/.", nullptr},
                                           NameCase{"sub/", nullptr},
                                           NameCase{"bell\x07.txt", nullptr}));

// A name the far end sends, or the target the user chose, where a link was planted: the file
// the link leads to is never created or emptied.
TEST_F(TransferFaults, HeaderNameThroughASymlinkIsRefused) {
    std::filesystem::create_symlink(dir.File("outside.txt"), DownloadDir() + "/link.txt");
    ReferenceSender far;
    far.ymodem = true;
    far.name = "link.txt";
    far.file = Pattern(10);
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Ymodem), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Unable to open file."));
    EXPECT_FALSE(std::filesystem::exists(dir.File("outside.txt")));
}

TEST_F(TransferFaults, XmodemTargetThatIsAPlantedLinkIsRefused) {
    WriteBytes(dir.File("outside.txt"), Pattern(5));
    std::filesystem::create_symlink(dir.File("outside.txt"), ReceivedPath());
    ReferenceSender far;
    far.file = Pattern(10);
    EXPECT_EQ(ReceiveFrom(&far, Protocol::Xmodem), TransferOutcome::Failed);
    EXPECT_TRUE(HasMessage("Unable to open file."));
    EXPECT_EQ(ReadBytes(dir.File("outside.txt")), Pattern(5));
}

// A FIFO where the received file goes (the YMODEM name of an existing FIFO, or the XMODEM
// target) ends the transfer at once with the message and the cancel bytes, instead of waiting
// for a reader that never comes.
class ReceivedFifo : public TransferFixture, public ::testing::WithParamInterface<Protocol> {};

TEST_P(ReceivedFifo, EndsTheTransferWithTheMessage) {
    const std::string fifo = IsYmodem(GetParam()) ? DownloadDir() + "/far.bin" : ReceivedPath();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const platform::testing::FifoWatchdog watchdog(fifo);
    ReferenceSender far;
    far.ymodem = IsYmodem(GetParam());
    far.file = Pattern(10);
    EXPECT_EQ(ReceiveFrom(&far, GetParam()), TransferOutcome::Failed);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(HasMessage("Unable to open file."));
    EXPECT_TRUE(EndsWithCancelBytes(far_heard));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

INSTANTIATE_TEST_SUITE_P(Protocols, ReceivedFifo,
                         ::testing::Values(Protocol::Xmodem, Protocol::Ymodem));

}  // namespace
}  // namespace qorval::terminal::testing
