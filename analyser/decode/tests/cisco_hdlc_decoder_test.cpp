// Cisco HDLC: the four-octet header and SLARP's address request, reply and keepalive.
#include <gtest/gtest.h>

#include "analyser/decode/tests/decode_test_support.h"

namespace qorval::analyser::decode {
namespace {

class CiscoHdlcFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(CiscoHdlcFrames, Decode) {
    EXPECT_EQ(Decoded(LinkProtocol::CiscoHdlc, GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Slarp, CiscoHdlcFrames,
    testing::Values(
        FrameCase{"keepalive with both sequence numbers, reliability and time",
                  {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00,
                   0x00, 0x00, 0x04, 0xFF, 0xFF, 0x00, 0x0A, 0x3B, 0x2C},
                  "ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=5 YOURSEQ=4"},
        FrameCase{"keepalive with sequence numbers above 2^31",
                  {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE, 0x80,
                   0x00, 0x00, 0x00},
                  "ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=4294967294 YOURSEQ=2147483648"},
        FrameCase{"address reply",
                  {0x0F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x00, 0x01, 0xFF,
                   0xFF, 0xFF, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
                  "ADDR=0F PROTO=8035 SLARP REPLY IP=10.0.0.1 MASK=255.255.255.252"},
        FrameCase{"address request",
                  {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x00, 0x00, 0x00},
                  "ADDR=8F PROTO=8035 SLARP REQUEST IP=0.0.0.0 MASK=0.0.0.0"},
        FrameCase{"IP", {0x0F, 0x00, 0x08, 0x00, 0x45, 0x00}, "ADDR=0F PROTO=0800 IP"},
        FrameCase{"an unnamed protocol", {0x0F, 0x00, 0x12, 0x34}, "ADDR=0F PROTO=1234"}));

INSTANTIATE_TEST_SUITE_P(
    Breaks, CiscoHdlcFrames,
    testing::Values(
        FrameCase{"empty", {}, "SHORT at byte 0: no address field"},
        FrameCase{"another address", {0xFF, 0x03, 0x08, 0x00},
                  "ADDR=FF MALFORMED at byte 0: address is not 0x0F or 0x8F"},
        FrameCase{"header cut short", {0x0F, 0x00, 0x08},
                  "ADDR=0F SHORT at byte 3: frame ends before its protocol type"},
        FrameCase{"control not 0", {0x0F, 0x03, 0x08, 0x00},
                  "ADDR=0F MALFORMED at byte 1: control field is not 0x00"},
        FrameCase{"SLARP without its code", {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00},
                  "ADDR=8F PROTO=8035 SLARP MALFORMED at byte 4: SLARP code shorter than 4 bytes"},
        FrameCase{"SLARP code 3",
                  {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00},
                  "ADDR=8F PROTO=8035 SLARP SLARP=03 MALFORMED at byte 4: SLARP code is not 0, 1 "
                  "or 2"},
        FrameCase{"keepalive without its second sequence number",
                  {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x05},
                  "ADDR=8F PROTO=8035 SLARP KEEPALIVE MALFORMED at byte 8: SLARP keepalive ends "
                  "before its sequence numbers"}));

}  // namespace
}  // namespace qorval::analyser::decode
