#include "analyser/filter/frame_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analyser/decode/link_protocol.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {
namespace {

using decode::DecodeFrame;
using decode::LinkProtocol;

// A frame as a filter sees it, decoded by the given link.
struct Sample {
    std::string name;
    decode::DecodedFrame decoded;
    FrameFacts facts;

    Sample(std::string n, LinkProtocol link, std::vector<uint8_t> bytes, bool sent = false,
           uint32_t result = QORVAL_OK)
        : name(std::move(n)), decoded(DecodeFrame(link, bytes)) {
        facts.length = static_cast<uint32_t>(bytes.size());
        facts.sent = sent;
        facts.result = result;
        facts.decoded = &decoded;
    }
    Sample(const Sample&) = delete;
};

FrameFilter Parsed(const std::string& expression) {
    auto parsed = FrameFilter::Parse(expression);
    if (auto* error = std::get_if<FilterError>(&parsed)) {
        ADD_FAILURE() << expression << ": " << error->Text();
        return std::get<FrameFilter>(FrameFilter::Parse(""));
    }
    return std::get<FrameFilter>(std::move(parsed));
}

class FilterOverACapture : public testing::Test {
  protected:
    // The names of the samples the expression matches, in order.
    std::string Matching(const std::string& expression) {
        const FrameFilter filter = Parsed(expression);
        std::string names;
        for (const Sample* sample : samples_) {
            if (filter.Matches(sample->facts)) {
                names += (names.empty() ? "" : " ") + sample->name;
            }
        }
        return names;
    }

    Sample sabm_{"sabm", LinkProtocol::Lapb, {0x01, 0x3F}};
    Sample rnr_{"rnr", LinkProtocol::Lapb, {0x03, 0x65}, true};           // RNR N(R)=3
    Sample info_{"i3", LinkProtocol::Lapb, {0x01, 0x66, 0x10, 0x05, 0x00}};  // N(S)=3 N(R)=3
    Sample crc_{"crc", LinkProtocol::Lapb, {0x01, 0x21}, false, QORVAL_CRC_ERROR};
    Sample broken_{"broken", LinkProtocol::Lapb, {0x01}};
    Sample data_{"dlci100de", LinkProtocol::FrameRelay, {0x18, 0x43, 0x03, 0xCC}};
    Sample plain_{"dlci100", LinkProtocol::FrameRelay, {0x18, 0x41, 0x03, 0xCC}};
    Sample lmi_{"lmi", LinkProtocol::FrameRelay,
                {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x07, 0x03, 0x06, 0xA0, 0x82,
                 0x07, 0x03, 0x0C, 0xC0, 0x88}};
    Sample sdlcDisc_{"sdlcdisc", LinkProtocol::Sdlc, {0xC1, 0x53}};
    std::vector<Sample*> samples_{&sabm_, &rnr_, &info_, &crc_, &broken_,
                                  &data_, &plain_, &lmi_, &sdlcDisc_};
};

TEST_F(FilterOverACapture, SelectsByDecodedFieldsAndCaptureFacts) {
    EXPECT_EQ(Matching("type == RNR"), "rnr");
    EXPECT_EQ(Matching("dlci == 100 && de"), "dlci100de");
    EXPECT_EQ(Matching("ns == 3"), "i3");
    EXPECT_EQ(Matching("len > 16"), "lmi");
    EXPECT_EQ(Matching("error"), "crc broken");
    EXPECT_EQ(Matching("crc"), "crc");
    EXPECT_EQ(Matching("short"), "broken");
    EXPECT_EQ(Matching("sent"), "rnr");
    EXPECT_EQ(Matching("received && type == RR"), "crc");
    EXPECT_EQ(Matching("pf && cr == C"), "sabm");
    EXPECT_EQ(Matching("lcn == 5 && ptype == DATA"), "i3");
    EXPECT_EQ(Matching(""), "sabm rnr i3 crc broken dlci100de dlci100 lmi sdlcdisc");
}

TEST_F(FilterOverACapture, CombinesWithPrecedenceParenthesesAndWords) {
    // && binds tighter than ||; ! applies to what follows it.
    EXPECT_EQ(Matching("type == RNR || dlci == 100 && de"), "rnr dlci100de");
    EXPECT_EQ(Matching("(type == RNR || dlci == 100) && !de"), "rnr dlci100");
    EXPECT_EQ(Matching("NOT dlci AND (type == sabm OR Type == Rnr)"), "sabm rnr");
    EXPECT_EQ(Matching("!!crc"), "crc");
    EXPECT_EQ(Matching("len>=4&&len<=5"), "i3 dlci100de dlci100");
    EXPECT_EQ(Matching("addr = 0xC1"), "sdlcdisc");
}

TEST_F(FilterOverACapture, AFieldTheFrameLacksNeverMatches) {
    // Neither == nor != holds for a frame without N(S): only the I-frame has one.
    EXPECT_EQ(Matching("ns != 4"), "i3");
    EXPECT_EQ(Matching("ns"), "i3");
    EXPECT_EQ(Matching("!ns && type"), "sabm rnr crc sdlcdisc");
}

TEST_F(FilterOverACapture, RepeatedFieldsMatchAnyOccurrence) {
    EXPECT_EQ(Matching("pvc == 200"), "lmi");
    EXPECT_EQ(Matching("pvc_active == 100 && pvc_new == 200"), "lmi");
    EXPECT_EQ(Matching("pvc_active == 200"), "");
    // != holds only when no PVC of the message is 100.
    EXPECT_EQ(Matching("pvc != 100"), "");
    EXPECT_EQ(Matching("pvc != 300"), "lmi");
}

TEST_F(FilterOverACapture, NamesStandForEveryValueTheyCover) {
    // SDLC's DISC/RD is a DISC (and an RD) to a filter; LAPB's addresses A and B are addresses.
    EXPECT_EQ(Matching("type == DISC"), "sdlcdisc");
    EXPECT_EQ(Matching("type == \"DISC/RD\""), "sdlcdisc");
    EXPECT_EQ(Matching("type == RD"), "sdlcdisc");
    EXPECT_EQ(Matching("addr == 3"), "rnr");
    EXPECT_EQ(Matching("station == B && !crc && !short"), "sabm i3");
    EXPECT_EQ(Matching("msg == STATUS && lmi == ANNEX-D"), "lmi");
}

TEST(FrameFilterValues, CompareAddressesDigitsAndLargeNumbers) {
    // X.25 call request from 2345 to 031101 (a leading zero is part of an address).
    const auto call = DecodeFrame(LinkProtocol::Lapb, std::vector<uint8_t>{
        0x01, 0x00, 0x10, 0x01, 0x0B, 0x46, 0x03, 0x11, 0x01, 0x23, 0x45});
    const auto keepalive = DecodeFrame(
        LinkProtocol::CiscoHdlc,
        std::vector<uint8_t>{0x0F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x00,
                             0x01, 0xFF, 0xFF, 0xFF, 0xFC});
    FrameFacts callFacts{.length = 11, .decoded = &call};
    FrameFacts slarpFacts{.length = 16, .decoded = &keepalive};
    EXPECT_TRUE(Parsed("called == \"031101\"").Matches(callFacts));
    EXPECT_FALSE(Parsed("called == 31101").Matches(callFacts));
    EXPECT_TRUE(Parsed("calling == 2345").Matches(callFacts));
    EXPECT_TRUE(Parsed("ip == 10.0.0.1 && mask == 255.255.255.252").Matches(slarpFacts));
    EXPECT_TRUE(Parsed("slarp == REPLY && proto == SLARP && proto == 0x8035").Matches(slarpFacts));
    EXPECT_FALSE(Parsed("ip > 10.0.0.1").Matches(slarpFacts));
    EXPECT_TRUE(Parsed("no == 0 && len == 16").Matches(slarpFacts));
}

TEST(FrameFilterValues, ATextInAFramesPlaceHasOnlyItsCaptureFacts) {
    const FrameFacts failed{.length = 20, .sent = true, .sendFailed = true};
    EXPECT_TRUE(Parsed("failed && error && sent && len == 20").Matches(failed));
    EXPECT_FALSE(Parsed("type != RR").Matches(failed));
}

struct BadExpression {
    const char* expression;
    size_t column;
    const char* message;
};

TEST(FrameFilterErrors, SayWhatIsWrongAndWhere) {
    const BadExpression cases[] = {
        {"tpye == RR", 1, "unknown field tpye"},
        {"type == RRR", 9, "type has no value named RRR"},
        {"type > RR", 8, "type compares with == and != only"},
        {"de > 0", 6, "de compares with == and != only"},
        {"called < 5", 10, "called compares with == and != only"},
        {"len == big", 8, "len compares with a number, not big"},
        {"ns == 3abc", 7, "invalid number 3abc"},
        {"ns == 99999999999999999999999", 7, "number too large: 99999999999999999999999"},
        {"ip == 10.0.0.256", 7, "invalid address 10.0.0.256"},
        {"ip == 10.0.0", 7, "invalid address 10.0.0"},
        {"type == \"RR", 9, "quoted text without its closing quote"},
        {"(type == RR", 12, "expected )"},
        {"type == RR)", 11, "expected && or || or the end"},
        {"type ==", 8, "expected a value after the comparison"},
        {"ns == 3 &&", 11, "expression ends where a field was expected"},
        {"ns == 3 & nr", 9, "expected &&"},
        {"ns == 3 | nr", 9, "expected ||"},
        {"ns # 3", 4, "unexpected character '#'"},
        {"== 3", 1, "expected a field name, ! or ("},
        {"called == 1234567890123456", 11, "an address is up to 15 digits: 1234567890123456"},
    };
    for (const BadExpression& bad : cases) {
        auto parsed = FrameFilter::Parse(bad.expression);
        ASSERT_TRUE(std::holds_alternative<FilterError>(parsed)) << bad.expression;
        const FilterError& error = std::get<FilterError>(parsed);
        EXPECT_EQ(error.message, bad.message) << bad.expression;
        EXPECT_EQ(error.column, bad.column) << bad.expression;
    }
}

TEST(FrameFilterErrors, BoundTheSizeAndNestingOfAnExpression) {
    const std::string deep = std::string(100, '(') + "de" + std::string(100, ')');
    auto nested = FrameFilter::Parse(deep);
    ASSERT_TRUE(std::holds_alternative<FilterError>(nested));
    EXPECT_EQ(std::get<FilterError>(nested).message, "expression nested too deeply");

    std::string longest = "de";
    while (longest.size() + 6 <= FrameFilter::kMaxLength) {
        longest += " && de";
    }
    auto accepted = FrameFilter::Parse(longest);
    ASSERT_TRUE(std::holds_alternative<FrameFilter>(accepted));
    const decode::DecodedFrame frame =
        DecodeFrame(LinkProtocol::FrameRelay, std::vector<uint8_t>{0x18, 0x43});
    EXPECT_TRUE(std::get<FrameFilter>(accepted).Matches(FrameFacts{.decoded = &frame}));

    auto tooLong = FrameFilter::Parse(std::string(FrameFilter::kMaxLength + 1, ' '));
    ASSERT_TRUE(std::holds_alternative<FilterError>(tooLong));
    EXPECT_EQ(std::get<FilterError>(tooLong).Text(),
              "column 4097: expression longer than 4096 characters");
}

}  // namespace
}  // namespace qorval::analyser
