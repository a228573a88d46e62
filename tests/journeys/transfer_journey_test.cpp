// Files moved between two ports of a driver host by two vintor processes, one sending and one
// receiving, with every protocol, both ways, at the card's default rate and at 20 Mbit/s. Both
// programs must end with status 0 and the file must arrive byte for byte.
//
// A slow line (4 kbit/s) is run too, one way with a small file: there the last frames a
// program queues before it ends (the YMODEM end-of-batch header, the receiver's last ACK)
// are still on the card for a few hundred milliseconds when the program closes its port.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/journeys/support/files.h"
#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

// Four 1 KB blocks, then 905 bytes: seven full 128-byte blocks and one of 9 bytes and padding.
constexpr size_t kFileSize = 5001;
// Two full 128-byte blocks and one of 44 bytes and padding.
constexpr size_t kSmallFileSize = 300;
constexpr size_t kSmallBlock = 128;
constexpr char kPadding = '\xFF';

enum class Rate { Default, Fast, Slow };

struct Transfer {
    const char* protocol;  // as vintor's --protocol takes it
    unsigned from;         // the sender's port; the receiver has the other one
    Rate rate;
};

// The ports' Divisor for a rate: the 20 MHz oscillator divided by Divisor + 1. None keeps the
// default key (126: 157,480 bit/s).
std::optional<uint32_t> Divisor(Rate rate) {
    switch (rate) {
        case Rate::Fast:
            return 0;  // 20 Mbit/s
        case Rate::Slow:
            return 4999;  // 4 kbit/s
        case Rate::Default:
            break;
    }
    return std::nullopt;
}

// How a case shows in failure messages and in the test's name.
void PrintTo(const Transfer& t, std::ostream* out) {
    static constexpr const char* kRates[] = {"default rate", "20 Mbit/s", "4 kbit/s"};
    *out << t.protocol << " from port " << t.from << " at " << kRates[static_cast<int>(t.rate)];
}

bool IsYmodem(const Transfer& t) {
    return std::string_view(t.protocol).starts_with("ymodem");
}

std::string Name(const ::testing::TestParamInfo<Transfer>& info) {
    std::string name;
    for (const char* c = info.param.protocol; *c != '\0'; ++c) {
        if (*c != '-') {
            name += *c;
        }
    }
    name += "_Port" + std::to_string(info.param.from) + "To" + std::to_string(3 - info.param.from);
    switch (info.param.rate) {
        case Rate::Fast:
            return name + "_20Mbits";
        case Rate::Slow:
            return name + "_4kbits";
        case Rate::Default:
            break;
    }
    return name + "_DefaultRate";
}

std::vector<Transfer> AllTransfers() {
    std::vector<Transfer> all;
    for (const char* protocol : {"xmodem", "xmodem-1k", "ymodem", "ymodem-g"}) {
        for (unsigned from : {1u, 2u}) {
            for (Rate rate : {Rate::Default, Rate::Fast}) {
                all.push_back({protocol, from, rate});
            }
        }
        all.push_back({protocol, 1, Rate::Slow});
    }
    return all;
}

class TransferJourney : public ::testing::TestWithParam<Transfer> {};

TEST_P(TransferJourney, BothProgramsSucceedAndTheFileArrivesWhole) {
    const Transfer& t = GetParam();
    const unsigned to = 3 - t.from;
    DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "line"});
    ASSERT_TRUE(host.Running()) << host.Describe();
    if (const auto divisor = Divisor(t.rate)) {
        ASSERT_TRUE(host.SetPortValue(1, "Divisor", *divisor));
        ASSERT_TRUE(host.SetPortValue(2, "Divisor", *divisor));
    }
    const std::string original =
        RandomBytes(t.rate == Rate::Slow ? kSmallFileSize : kFileSize, 22 + t.from);
    const auto outbox = host.Folder("outbox") / "journey.bin";
    ASSERT_TRUE(WriteWholeFile(outbox, original));
    const auto inbox = host.Folder("inbox");

    auto sender = host.StartTool(
        kVintor,
        {"--port", std::to_string(t.from), "--send", outbox.string(), "--protocol", t.protocol},
        "sender");
    auto receiver = host.StartTool(kVintor,
                                   {"--port", std::to_string(to), "--receive", "--protocol",
                                    t.protocol, "--dir", inbox.string()},
                                   "receiver");

    const auto sent = sender->Wait();
    const auto received = receiver->Wait();
    EXPECT_EQ(sent, 0) << sender->Describe();
    EXPECT_EQ(received, 0) << receiver->Describe();
    EXPECT_NE(sender->ErrorOutput().find("File(s) successfully transmitted."), std::string::npos)
        << sender->Describe();

    std::string expected = original;
    std::filesystem::path arrived;
    if (IsYmodem(t)) {
        // The name comes from the header; the size too, so no padding is kept.
        arrived = inbox / "journey.bin";
        EXPECT_NE(receiver->ErrorOutput().find("Done receiving files."), std::string::npos)
            << receiver->Describe();
    } else {
        // XMODEM knows no size: the last block is kept whole, padding included.
        arrived = inbox / "temp.dat";
        expected.append((kSmallBlock - original.size() % kSmallBlock) % kSmallBlock, kPadding);
        EXPECT_NE(receiver->ErrorOutput().find("Finished receiving file."), std::string::npos)
            << receiver->Describe();
    }
    const std::string got = ReadWholeFile(arrived);
    EXPECT_EQ(got.size(), expected.size()) << arrived;
    EXPECT_TRUE(got == expected) << "the received file differs from what was sent";
}

INSTANTIATE_TEST_SUITE_P(EveryProtocolBothWaysAtEachRate, TransferJourney,
                         ::testing::ValuesIn(AllTransfers()), Name);

}  // namespace
}  // namespace qorval::journeys
