// LAPB (with X.25 above) and SDLC, from the frames of their standards: X.25's LAPB addresses A
// (0x03) and B (0x01), the control field encodings of ISO 7776 / ISO 13239, the FRMR
// information field, the X.25 packet layer headers, and SDLC's normal response mode.
#include <gtest/gtest.h>

#include "analyser/decode/field_values.h"
#include "analyser/decode/tests/decode_test_support.h"

namespace qorval::analyser::decode {
namespace {

class LapbModulo8 : public testing::TestWithParam<FrameCase> {};

// A DTE bringing up a link, exchanging data both ways, being flow-controlled, recovering from
// a rejected frame and clearing the link. Commands from the DTE and responses from the DCE
// carry address B; commands from the DCE and responses from the DTE carry address A.
TEST_P(LapbModulo8, DecodesTheLinkExchange) {
    EXPECT_EQ(Decoded(LinkProtocol::Lapb, GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, LapbModulo8,
    testing::Values(
        FrameCase{"SABM with poll", {0x01, 0x3F}, "B C SABM P"},
        FrameCase{"UA with final", {0x01, 0x73}, "B R UA F"},
        FrameCase{"I-frame carrying an X.25 data packet",
                  {0x01, 0x00, 0x10, 0x01, 0x00, 'h', 'i'},
                  "B C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0"},
        FrameCase{"I-frame N(S)=3 N(R)=5", {0x03, 0xA6}, "A C I N(S)=3 N(R)=5"},
        FrameCase{"RR response N(R)=1", {0x01, 0x21}, "B RR N(R)=1"},
        FrameCase{"RR with the P/F bit", {0x03, 0x31}, "A RR N(R)=1 P/F"},
        FrameCase{"RNR N(R)=2", {0x01, 0x45}, "B RNR N(R)=2"},
        FrameCase{"REJ N(R)=2", {0x03, 0x49}, "A REJ N(R)=2"},
        FrameCase{"SREJ N(R)=7", {0x03, 0xED}, "A SREJ N(R)=7"},
        FrameCase{"DISC with poll", {0x01, 0x53}, "B C DISC P"},
        FrameCase{"DM", {0x01, 0x0F}, "B R DM"},
        FrameCase{"UI with information", {0x03, 0x03, 0x41}, "A UI"},
        FrameCase{"XID with information", {0x03, 0xBF, 0x82, 0x80}, "A XID P/F"},
        FrameCase{"TEST", {0x01, 0xE3}, "B TEST"},
        FrameCase{"an address other than A or B", {0x07, 0x3F}, "ADDR=07 C SABM P"}));

TEST(LapbFrmr, ShowsTheRejectedControlFieldStateVariablesAndReasonBits) {
    // The DCE rejects an I-frame command (control 0x00): V(S)=3, V(R)=5, the frame was a
    // command, and W (undefined control field) and X (information not permitted) are set.
    EXPECT_EQ(Decoded(LinkProtocol::Lapb, {0x01, 0x97, 0x00, 0xA6, 0x03}),
              "B R FRMR F RFCF=00 V(S)=3 C/R=0 V(R)=5 W X");
    // Modulo 128: two octets of rejected control field, V(S) and V(R) in seven bits, C/R in
    // the fourth octet, Z (N(R) not valid) in the fifth.
    EXPECT_EQ(Decoded(LinkProtocol::Lapb128, {0x03, 0x87, 0x01, 0x0A, 0xC8, 0xFF, 0x08}),
              "A R FRMR RFCF=010A V(S)=100 C/R=1 V(R)=127 Z");
}

TEST(LapbModulo128, ReadsSevenBitSequenceNumbersFromTwoControlOctets) {
    EXPECT_EQ(Decoded(LinkProtocol::Lapb128, {0x01, 0x7F}), "B C SABME P");
    // I-frame N(S)=100 N(R)=127 P=1.
    EXPECT_EQ(Decoded(LinkProtocol::Lapb128, {0x03, 0xC8, 0xFF}), "A C I N(S)=100 N(R)=127 P");
    // RNR N(R)=64 with the P/F bit.
    EXPECT_EQ(Decoded(LinkProtocol::Lapb128, {0x01, 0x05, 0x81}), "B RNR N(R)=64 P/F");
    // The same octets read modulo 8 are an RNR with an information field: not allowed.
    EXPECT_EQ(Decoded(LinkProtocol::Lapb, {0x01, 0x05, 0x81}),
              "B RNR N(R)=0 MALFORMED at byte 2: information field in a frame type that has none");
}

TEST(X25Packets, DecodesEachPacketTypesHeader) {
    const FrameCase cases[] = {
        {"call request with called and calling DTE addresses",
         {0x10, 0x01, 0x0B, 0x45, 0x31, 0x10, 0x12, 0x34, 0x50, 0x00},
         "GFI=1 LCN=1 CALL-REQ CALLED=31101 CALLING=2345"},
        {"call accepted without an address block", {0x10, 0x01, 0x0F}, "GFI=1 LCN=1 CALL-ACC"},
        {"clear request with cause and diagnostic", {0x10, 0x01, 0x13, 0x00, 0x43},
         "GFI=1 LCN=1 CLR-REQ CAUSE=00 DIAG=43"},
        {"clear confirmation", {0x10, 0x01, 0x17}, "GFI=1 LCN=1 CLR-CONF"},
        {"restart request on channel 0", {0x10, 0x00, 0xFB, 0x07, 0x00},
         "GFI=1 LCN=0 RESTART-REQ CAUSE=07 DIAG=00"},
        {"restart confirmation", {0x10, 0x00, 0xFF}, "GFI=1 LCN=0 RESTART-CONF"},
        {"reset request without diagnostic", {0x10, 0x2A, 0x1B, 0x05},
         "GFI=1 LCN=42 RESET-REQ CAUSE=05"},
        {"interrupt", {0x10, 0x01, 0x23, 0x55}, "GFI=1 LCN=1 INT"},
        {"diagnostic", {0x10, 0x00, 0xF1, 0x26}, "GFI=1 LCN=0 DIAG DIAG=26"},
        {"data, modulo 8, more data", {0x13, 0xFF, 0x74}, "GFI=1 LCN=1023 DATA P(S)=2 P(R)=3 M"},
        {"data with the Q bit", {0x90, 0x01, 0x00}, "GFI=9 LCN=1 DATA Q P(S)=0 P(R)=0"},
        {"data, modulo 128", {0x20, 0x05, 0xC8, 0xFE}, "GFI=2 LCN=5 DATA P(S)=100 P(R)=127"},
        {"RR modulo 8", {0x10, 0x01, 0x81}, "GFI=1 LCN=1 RR P(R)=4"},
        {"RNR modulo 8", {0x10, 0x01, 0x05}, "GFI=1 LCN=1 RNR P(R)=0"},
        {"REJ modulo 128", {0x20, 0x01, 0x09, 0x0A}, "GFI=2 LCN=1 REJ P(R)=5"},
        {"a header cut short", {0x10, 0x01},
         "MALFORMED at byte 4: packet header shorter than 3 bytes"},
        {"a GFI of neither modulus", {0x30, 0x01, 0x00},
         "GFI=3 LCN=1 MALFORMED at byte 2: general format identifier is not modulo 8 or 128"},
        {"an unknown packet type", {0x10, 0x01, 0x03},
         "GFI=1 LCN=1 MALFORMED at byte 4: unknown packet type"},
        {"modulo 128 data without its P(R) octet", {0x20, 0x01, 0x02},
         "GFI=2 LCN=1 MALFORMED at byte 5: modulo 128 packet ends before P(R)"},
        {"an address block longer than the packet", {0x10, 0x01, 0x0B, 0x99, 0x12},
         "GFI=1 LCN=1 CALL-REQ MALFORMED at byte 5: address block longer than the packet"},
        {"an address digit that is not decimal", {0x10, 0x01, 0x0B, 0x01, 0xA0},
         "GFI=1 LCN=1 CALL-REQ MALFORMED at byte 6: address digit is not 0 to 9"},
        {"a clear request without its cause", {0x10, 0x01, 0x13},
         "GFI=1 LCN=1 CLR-REQ MALFORMED at byte 5: packet ends before its cause"},
    };
    for (const FrameCase& packet : cases) {
        std::vector<uint8_t> frame = {0x01, 0x00};  // B, I-frame N(S)=0 N(R)=0
        frame.insert(frame.end(), packet.bytes.begin(), packet.bytes.end());
        EXPECT_EQ(Decoded(LinkProtocol::Lapb, frame),
                  std::string("B C I N(S)=0 N(R)=0 X.25 ") + packet.expected)
            << packet.what;
    }
}

TEST(HdlcBreaks, SayWhereTheFrameBroke) {
    const std::pair<LinkProtocol, FrameCase> cases[] = {
        {LinkProtocol::Lapb, {"empty frame", {}, "SHORT at byte 0: no address field"}},
        {LinkProtocol::Lapb, {"address only", {0x01}, "B SHORT at byte 1: no control field"}},
        {LinkProtocol::Lapb128,
         {"modulo 128 I-frame with one control octet", {0x01, 0x02},
          "B SHORT at byte 2: control field ends after its first octet"}},
        {LinkProtocol::Lapb,
         {"SDLC's SIM on a LAPB link", {0x01, 0x17},
          "B MALFORMED at byte 1: control field is not a known unnumbered frame"}},
        {LinkProtocol::Lapb128,
         {"modulo 128 RR with reserved bits set", {0x01, 0x21, 0x02},
          "B RR MALFORMED at byte 1: reserved bits of a supervisory control field are not 0"}},
        {LinkProtocol::Lapb,
         {"SABM carrying information", {0x01, 0x3F, 0x00},
          "B C SABM P MALFORMED at byte 2: information field in a frame type that has none"}},
        {LinkProtocol::Lapb,
         {"FRMR cut short", {0x03, 0x87, 0x00},
          "A R FRMR MALFORMED at byte 3: FRMR information field shorter than 3 bytes"}},
        {LinkProtocol::Sdlc, {"SDLC address only", {0xC1}, "ADDR=C1 SHORT at byte 1: no control field"}},
    };
    for (const auto& [protocol, frame] : cases) {
        EXPECT_EQ(Decoded(protocol, frame.bytes), frame.expected) << frame.what;
    }
}

// A primary polling secondary station C1: normal response mode set-up, information both ways,
// a poll answered with RR, and the commands whose encoding SDLC shares between a command and
// a response.
TEST(Sdlc, DecodesNormalResponseModeWithTheSecondarysAddress) {
    const FrameCase cases[] = {
        {"SNRM with poll", {0xC1, 0x93}, "ADDR=C1 C SNRM P"},
        {"UA with final", {0xC1, 0x73}, "ADDR=C1 R UA F"},
        {"I-frame from either station", {0xC1, 0x10, 0x2D, 0x00}, "ADDR=C1 I N(S)=0 N(R)=0 P/F"},
        {"RR poll", {0xC1, 0x31}, "ADDR=C1 RR N(R)=1 P/F"},
        {"DISC or RD", {0xC1, 0x53}, "ADDR=C1 DISC/RD P/F"},
        {"SIM or RIM", {0xC1, 0x17}, "ADDR=C1 SIM/RIM P/F"},
        {"XID with its information", {0xFF, 0xBF, 0x32, 0x00}, "ADDR=FF XID P/F"},
        {"TEST", {0xC1, 0xF3, 0x01}, "ADDR=C1 TEST P/F"},
        {"UP", {0x00, 0x33}, "ADDR=00 C UP P"},
        {"BCN", {0xC1, 0xFF, 0x00}, "ADDR=C1 R BCN F"},
        {"FRMR", {0xC1, 0x97, 0x21, 0x22, 0x01}, "ADDR=C1 R FRMR F RFCF=21 V(S)=1 C/R=0 V(R)=1 W"},
    };
    for (const FrameCase& frame : cases) {
        EXPECT_EQ(Decoded(LinkProtocol::Sdlc, frame.bytes), frame.expected) << frame.what;
    }
    EXPECT_EQ(Decoded(LinkProtocol::Sdlc128, {0xC1, 0xDF}), "ADDR=C1 C SNRME P");
    EXPECT_EQ(Decoded(LinkProtocol::Sdlc128, {0xC1, 0x0A, 0x0D}), "ADDR=C1 I N(S)=5 N(R)=6 P/F");
    // SDLC does not know LAPB's SABM.
    EXPECT_EQ(Decoded(LinkProtocol::Sdlc, {0xC1, 0x3F}),
              "ADDR=C1 MALFORMED at byte 1: control field is not a known unnumbered frame");
}

TEST(DecodedFields, CarryTheValuesFiltersCompare) {
    const DecodedFrame frame = DecodeFrame(LinkProtocol::Lapb, std::vector<uint8_t>{0x03, 0xB6, 0x10, 0x07, 0x00});
    EXPECT_EQ(frame.Find(FieldId::Station), 0x03u);
    EXPECT_EQ(frame.Find(FieldId::FrameType), uint64_t{kTypeI});
    EXPECT_EQ(frame.Find(FieldId::SendSequence), 3u);
    EXPECT_EQ(frame.Find(FieldId::ReceiveSequence), 5u);
    EXPECT_EQ(frame.Find(FieldId::PollFinal), 1u);
    EXPECT_EQ(frame.Find(FieldId::LogicalChannel), 7u);
    EXPECT_EQ(frame.Find(FieldId::PacketType), uint64_t{kPacketData});
    EXPECT_FALSE(frame.Find(FieldId::Dlci).has_value());
}

TEST(RawLink, DecodesNothing) {
    const DecodedFrame frame = DecodeFrame(LinkProtocol::Raw, std::vector<uint8_t>{0x01, 0x3F});
    EXPECT_EQ(frame.size(), 0u);
    EXPECT_EQ(frame.GetProblem(), Problem::None);
}

}  // namespace
}  // namespace qorval::analyser::decode
