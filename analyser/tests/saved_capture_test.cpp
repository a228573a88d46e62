// A capture as File > Export Capture... saves it, read back and decoded: each frame's line as
// the decoded view showed it live, its time, its direction and its CRC error, the statistics;
// and a file damaged at its end decoded up to the damage.
#include "analyser/saved_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "analyser/capture_record.h"
#include "analyser/decoded_line.h"
#include "platform/testing/temporary_directory.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser::testing {
namespace {

constexpr uint64_t kStartNs = 1'700'000'000'000'000'000;

class SavedCapture : public ::testing::Test {
  protected:
    void SetUp() override {
        Record({0x01, 0x3F}, false, 0, 0);                         // SABM P
        Record({0x01, 0x73}, true, 0, 1'000'000);                  // UA F, sent
        Record({0x03, 0x41}, false, QORVAL_CRC_ERROR, 2'000'000);  // RR, read with a CRC error
        Record({0x01, 0x22, 0x10, 0x01, 0x00, 'H', 'I'}, false, 0, 1'500'000'000);  // I + DATA
        ASSERT_TRUE(record_.WritePcapng(file_, "Wyvel32 port 2"));
    }
    void Record(std::vector<uint8_t> bytes, bool sent, uint32_t result, uint64_t afterNs) {
        record_.OnFrame(CapturedFrame{bytes, sent, result, kStartNs + afterNs});
    }

    struct Decoded {
        std::vector<std::string> lines;
        std::vector<uint64_t> sinceStartNs;
        SavedCaptureSummary summary;
    };
    Decoded Decode() {
        Decoded decoded;
        std::FILE* file = std::fopen(file_.c_str(), "rb");
        EXPECT_NE(file, nullptr);
        decoded.summary = DecodeSavedCapture(
            file, decode::LinkProtocol::Lapb, statistics_, [&](const SavedFrame& frame) {
                decoded.lines.push_back(DecodedFrameLine(frame.facts, decode::LinkProtocol::Lapb,
                                                         frame.bytes, frame.receivedCount));
                decoded.sinceStartNs.push_back(frame.timeNs - frame.startNs);
            });
        std::fclose(file);
        return decoded;
    }

    qorval::testing::TemporaryDirectory dir_{"saved-capture"};
    std::filesystem::path file_ = dir_.Path() / "link.pcapng";
    CaptureRecord record_;
    CaptureStatistics statistics_;
};

TEST_F(SavedCapture, DecodesEachFrameWithItsDirectionTimeAndCrcErrorAndCountsThem) {
    const Decoded decoded = Decode();
    EXPECT_EQ(decoded.lines,
              (std::vector<std::string>{
                  "0001     2 B C SABM P\r\n",
                  "SENT     2 B R UA F\r\n",
                  "0002     2 [CRC error on GetData!] A RR N(R)=2\r\n",
                  "0003     7 B C I N(S)=1 N(R)=1 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0\r\n",
              }));
    EXPECT_EQ(decoded.sinceStartNs,
              (std::vector<uint64_t>{0, 1'000'000, 2'000'000, 1'500'000'000}));
    EXPECT_EQ(decoded.summary.frames, 4u);
    EXPECT_EQ(decoded.summary.otherPackets, 0u);
    EXPECT_EQ(decoded.summary.error, "");
    const StatisticsSnapshot snapshot = statistics_.Snapshot(decoded.summary.endNs);
    EXPECT_EQ(snapshot.elapsedNs, 1'500'000'000u);
    EXPECT_EQ(snapshot.received, (DirectionTotals{3, 11}));
    EXPECT_EQ(snapshot.sent, (DirectionTotals{1, 2}));
    EXPECT_EQ(snapshot.ErrorCount(FrameError::Crc), 1u);
}

TEST_F(SavedCapture, AFileDamagedAtItsEndIsDecodedUpToTheDamage) {
    std::filesystem::resize_file(file_, std::filesystem::file_size(file_) - 6);
    const Decoded decoded = Decode();
    ASSERT_EQ(decoded.lines.size(), 3u);
    EXPECT_EQ(decoded.lines[2], "0002     2 [CRC error on GetData!] A RR N(R)=2\r\n");
    EXPECT_EQ(decoded.summary.frames, 3u);
    EXPECT_NE(decoded.summary.error, "");
    EXPECT_EQ(statistics_.Frames(), 3u);
}

}  // namespace
}  // namespace qorval::analyser::testing
