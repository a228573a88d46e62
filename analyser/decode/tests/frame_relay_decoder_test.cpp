// Frame Relay: Q.922 addresses of two and three octets with their congestion and discard bits,
// the encapsulations of the information field, and link management status messages of Q.933
// Annex A and ANSI T1.617 Annex D on DLCI 0 and of the consortium LMI on DLCI 1023.
#include <gtest/gtest.h>

#include "analyser/decode/tests/decode_test_support.h"

namespace qorval::analyser::decode {
namespace {

class FrameRelayFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameRelayFrames, Decode) {
    EXPECT_EQ(Decoded(LinkProtocol::FrameRelay, GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, FrameRelayFrames,
    testing::Values(
        FrameCase{"DLCI 100 with FECN and DE, IP by NLPID",
                  {0x18, 0x4B, 0x03, 0xCC, 0x45, 0x00}, "DLCI 100 FECN DE NLPID=CC IP"},
        FrameCase{"DLCI 16 with C/R and BECN, IP by EtherType",
                  {0x06, 0x05, 0x08, 0x00, 0x45}, "DLCI 16 C/R BECN PROTO=0800 IP"},
        FrameCase{"SNAP with a pad octet",
                  {0x18, 0x41, 0x03, 0x00, 0x80, 0x00, 0x00, 0x00, 0x08, 0x06},
                  "DLCI 100 NLPID=80 SNAP OUI=000000 PROTO=0806 ARP"},
        FrameCase{"three-octet address, DLCI 4660", {0x10, 0x80, 0xD1, 0x03, 0xCC},
                  "DLCI 4660 NLPID=CC IP"},
        FrameCase{"an address without information", {0x18, 0x41}, "DLCI 100"},
        FrameCase{"DLCI 0 that is not link management", {0x00, 0x01, 0x03, 0xCC},
                  "DLCI 0 NLPID=CC IP"}));

INSTANTIATE_TEST_SUITE_P(
    LinkManagement, FrameRelayFrames,
    testing::Values(
        FrameCase{"Annex D status enquiry, link integrity only",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01, 0x01, 0x01, 0x03, 0x02, 0x05,
                   0x04},
                  "DLCI 0 LMI ANNEX-D STATUS-ENQ REPORT LIV TXSEQ=5 RXSEQ=4"},
        FrameCase{"Annex D full status with an active and a new inactive PVC",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x01, 0x01, 0x00, 0x03, 0x02,
                   0x06, 0x05, 0x07, 0x03, 0x06, 0xA0, 0x82, 0x07, 0x03, 0x0C, 0xC0, 0x88},
                  "DLCI 0 LMI ANNEX-D STATUS REPORT FULL TXSEQ=6 RXSEQ=5 PVC 100 ACTIVE "
                  "PVC 200 INACTIVE NEW"},
        FrameCase{"Annex A status enquiry with the Q.933 element codes",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x51, 0x01, 0x01, 0x53, 0x02, 0x01,
                   0x00},
                  "DLCI 0 LMI ANNEX-A STATUS-ENQ REPORT LIV TXSEQ=1 RXSEQ=0"},
        FrameCase{"Annex A status with a deleted PVC",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x51, 0x01, 0x02, 0x57, 0x03, 0x01,
                   0x80, 0x84},
                  "DLCI 0 LMI ANNEX-A STATUS REPORT ASYNC PVC 16 INACTIVE DELETED"},
        FrameCase{"consortium LMI full status enquiry on DLCI 1023",
                  {0xFC, 0xF1, 0x03, 0x09, 0x00, 0x75, 0x01, 0x01, 0x00, 0x03, 0x02, 0x01,
                   0x00},
                  "DLCI 1023 LMI CONSORTIUM STATUS-ENQ REPORT FULL TXSEQ=1 RXSEQ=0"},
        FrameCase{"an element the decoder does not know is named and skipped",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x09, 0x01, 0x00, 0x03, 0x02,
                   0x07, 0x06},
                  "DLCI 0 LMI ANNEX-D STATUS IE=09 TXSEQ=7 RXSEQ=6"}));

INSTANTIATE_TEST_SUITE_P(
    Breaks, FrameRelayFrames,
    testing::Values(
        FrameCase{"one octet", {0x18}, "SHORT at byte 1: address shorter than 2 bytes"},
        FrameCase{"EA set in the first octet", {0x19, 0x41},
                  "MALFORMED at byte 0: address ends after its first octet"},
        FrameCase{"an address that never ends", {0x18, 0x40},
                  "SHORT at byte 2: address ends before its EA bit is set"},
        FrameCase{"five address octets", {0x18, 0x40, 0x00, 0x00, 0x00},
                  "MALFORMED at byte 3: address longer than 4 octets"},
        FrameCase{"an element longer than the frame",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01, 0x05, 0x01},
                  "DLCI 0 LMI ANNEX-D STATUS-ENQ MALFORMED at byte 7: information element "
                  "longer than the frame"},
        FrameCase{"a PVC status element too short for a DLCI and status",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x07, 0x02, 0x06, 0xA0},
                  "DLCI 0 LMI ANNEX-D STATUS MALFORMED at byte 7: information element shorter "
                  "than its contents"},
        FrameCase{"an element without its length",
                  {0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01},
                  "DLCI 0 LMI ANNEX-D STATUS-ENQ MALFORMED at byte 7: information element "
                  "ends before its length"},
        FrameCase{"a status message cut before its message type", {0x00, 0x01, 0x03, 0x08, 0x00},
                  "DLCI 0 LMI ANNEX-A MALFORMED at byte 5: message ends before its message type"},
        FrameCase{"an EtherType cut in half", {0x18, 0x41, 0x08},
                  "DLCI 100 MALFORMED at byte 2: protocol type shorter than 2 bytes"}));

}  // namespace
}  // namespace qorval::analyser::decode
