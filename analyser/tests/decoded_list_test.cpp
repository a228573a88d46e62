// The decoded list following the capture record: frames as they arrive, the oldest the record
// drops, a record cleared for a new capture, a new link or filter applied to what was recorded,
// find next and previous, and the CSV of the rows.
#include "analyser/decoded_list.h"

#include <gtest/gtest.h>

#include "analyser/decode/decoded_text.h"
#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {
namespace {

class DecodedListOfARecord : public ::testing::Test {
  protected:
    void Record(std::vector<uint8_t> bytes, bool sent = false, uint32_t result = 0) {
        clockNs_ += 1'000'000;  // a millisecond after the frame before
        record_.OnFrame(CapturedFrame{bytes, sent, result, clockNs_});
    }
    // "number:decoded" of every row.
    std::string Rows() {
        std::string rows;
        DecodedRow row;
        for (size_t i = 0; i < list_.Size(); ++i) {
            list_.Describe(i, row);
            std::string decoded;
            decode::AppendDecodedText(decoded, row.decoded);
            rows += (rows.empty() ? "" : "|") + std::to_string(row.facts.number) + ":" + decoded;
        }
        return rows;
    }
    FrameFilter Expression(const char* text) {
        return std::get<FrameFilter>(FrameFilter::Parse(text));
    }

    uint64_t clockNs_ = 1'000'000'000;
    CaptureRecord record_{40};  // 40 bytes kept
    DecodedList list_{record_};
};

TEST_F(DecodedListOfARecord, FollowsTheRecordAndItsFilterAndLink) {
    list_.SetLink(decode::LinkProtocol::Lapb);
    EXPECT_EQ(list_.Update(), DecodedList::Change::None);
    Record({0x01, 0x3F});
    Record({0x01, 0x73}, true);
    Record({0x03, 0x45});
    EXPECT_EQ(list_.Update(), DecodedList::Change::Appended);
    EXPECT_EQ(Rows(), "1:B C SABM P|2:B R UA F|3:A RNR N(R)=2");

    ASSERT_EQ(list_.SetFilter("sent || type == RNR && !crc"), std::nullopt);
    EXPECT_EQ(Rows(), "2:B R UA F|3:A RNR N(R)=2");
    Record({0x03, 0x45}, false, QORVAL_CRC_ERROR);
    Record({0x03, 0x45});
    EXPECT_EQ(list_.Update(), DecodedList::Change::Appended);
    EXPECT_EQ(Rows(), "2:B R UA F|3:A RNR N(R)=2|5:A RNR N(R)=2");
    ASSERT_TRUE(list_.SetFilter("type ==").has_value());
    EXPECT_EQ(list_.Filter().Expression(), "sent || type == RNR && !crc");

    list_.SetLink(decode::LinkProtocol::Sdlc);
    EXPECT_EQ(Rows(), "2:ADDR=01 R UA F|3:ADDR=03 RNR N(R)=2|5:ADDR=03 RNR N(R)=2");
}

TEST_F(DecodedListOfARecord, LetsGoOfWhatTheRecordDropsAndOfAClearedCapture) {
    list_.SetLink(decode::LinkProtocol::Lapb);
    for (uint8_t i = 0; i < 4; ++i) {
        Record(std::vector<uint8_t>{0x01, static_cast<uint8_t>(i << 5 | 0x01)});  // RR N(R)=i
    }
    (void)list_.Update();
    EXPECT_EQ(list_.Size(), 4u);
    // 20 more frames of 2 bytes: the record keeps the newest 40 bytes.
    for (uint8_t i = 0; i < 20; ++i) {
        Record({0x01, 0x3F});
    }
    EXPECT_EQ(list_.Update(), DecodedList::Change::Replaced);
    EXPECT_EQ(list_.Size(), 20u);
    DecodedRow first;
    list_.Describe(0, first);
    EXPECT_EQ(first.facts.number, 5u);

    // A new capture clears the record; its frames count from 1 again, even when more of them
    // arrived than the list saw before it looked again.
    record_.Clear();
    for (int i = 0; i < 22; ++i) {
        Record({0x01, 0x73});
    }
    EXPECT_EQ(list_.Update(), DecodedList::Change::Replaced);
    list_.Describe(0, first);
    EXPECT_EQ(first.facts.number, 3u);
    EXPECT_EQ(list_.Size(), 20u);
}

TEST_F(DecodedListOfARecord, FindsForwardAndBackwardFromARow) {
    list_.SetLink(decode::LinkProtocol::Lapb);
    Record({0x01, 0x21});
    Record({0x01, 0x66, 0x10, 0x05, 0x00});
    Record({0x01, 0x45});
    Record({0x01, 0x66, 0x10, 0x05, 0x00});
    (void)list_.Update();
    const FrameFilter ns3 = Expression("ns == 3");
    EXPECT_EQ(list_.Find(ns3, std::nullopt, true), 1u);
    EXPECT_EQ(list_.Find(ns3, 1, true), 3u);
    EXPECT_EQ(list_.Find(ns3, 3, true), std::nullopt);
    EXPECT_EQ(list_.Find(ns3, std::nullopt, false), 3u);
    EXPECT_EQ(list_.Find(ns3, 3, false), 1u);
    EXPECT_EQ(list_.Find(ns3, 1, false), std::nullopt);
    EXPECT_EQ(list_.Find(Expression("no == 3"), 0, true), 2u);
}

TEST_F(DecodedListOfARecord, WritesItsRowsAsCsv) {
    list_.SetLink(decode::LinkProtocol::Lapb);
    ASSERT_EQ(list_.SetFilter("type == RNR"), std::nullopt);
    Record({0x01, 0x21});
    Record({0x03, 0x45}, true);
    (void)list_.Update();
    const std::filesystem::path dir = MakeTempDir();
    ASSERT_TRUE(list_.WriteCsv(dir / "list.csv", 1'000'000'000));
    const std::string csv = ReadFile(dir / "list.csv");
    // The frame was stamped 2 ms after the start; the 20 columns after P/F are empty.
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2),
              "2,0.002000,sent,2,OK,A RNR N(R)=2,,03,A,,RNR,,2,0" + std::string(20, ',') + "\r\n");
    EXPECT_FALSE(list_.WriteCsv(dir / "no" / "such" / "folder.csv", 0));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qorval::analyser::testing
