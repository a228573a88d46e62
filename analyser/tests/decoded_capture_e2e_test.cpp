// lombex32 as a user runs it from a shell, decoding a scripted exchange on a link: the program
// captures port 2 of a driver host and answers every frame from its send file, while this test
// plays the far end on port 1 through the port access library. LAPB with X.25 (set-up, I-frames
// both ways with RR, an RNR, a REJ and the recovery, clearing), Frame Relay with LMI, and Cisco
// HDLC with SLARP, each decoded line by line; and a filter that limits the lines and the log,
// live and on the capture saved to a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "analyser/tests/program_run.h"
#include "host/tests/host_fixture.h"

namespace qorval::analyser::testing {
namespace {

using host::testing::LibraryPort;
using Frame = std::vector<uint8_t>;

// One step of the far end: the frame it sends, and the one it expects back.
struct Step {
    Frame sent;
    Frame reply;
};

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A send file line: every byte as a "#" escape.
std::string SendFileLine(const Frame& frame) {
    std::string line;
    for (uint8_t byte : frame) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "#%02X", byte);
        line += escape;
    }
    return line + "\n";
}

class DecodedCaptureOfAScriptedLink : public host::testing::HostTest {
  protected:
    void SetUp() override { StartHost(); }

    struct Result {
        std::vector<std::string> lines;  // the decoded lines printed while capturing
        std::string statistics;          // what --stats printed at the end
        std::vector<std::string> csv;    // the CSV file's rows
        int status = -1;
        std::string errors;
    };

    // Runs `lombex32 --capture --port 2 --format decoded --link LINK` with the replies as its
    // send file, plays the steps on port 1, and stops the program once it has printed
    // `shownLines` lines.
    Result Exchange(const std::string& link, const std::vector<Step>& steps, size_t shownLines,
                    std::vector<std::string> extra = {}) {
        const std::filesystem::path folder = prefix_.path();
        std::ofstream sendFile(folder / "replies.txt");
        for (const Step& step : steps) {
            sendFile << SendFileLine(step.reply);
        }
        sendFile.close();
        const std::filesystem::path csv = folder / "decoded.csv";
        std::vector<std::string> args = {LOMBEX32_PROGRAM, "--capture",  "--port", "2",
                                         "--format",       "decoded",    "--link", link,
                                         "--send",         (folder / "replies.txt").string(),
                                         "--csv",          csv.string(), "--stats"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::filesystem::remove(csv);
        ProgramRun lombex32(args, folder);
        Result result;
        EXPECT_TRUE(lombex32.Started());
        // The program creates its CSV file right after it has opened the port; frames sent
        // from then on wait in the port's card memory for the capture to take them.
        EXPECT_TRUE(host::testing::WaitFor([&] { return std::filesystem::exists(csv); }))
            << lombex32.Errors();
        LibraryPort farEnd(1);
        EXPECT_EQ(farEnd.open_result(), 0u);
        for (const Step& step : steps) {
            EXPECT_EQ(QORVAL_PutData(farEnd.handle(), step.sent.data(),
                                     static_cast<uint32_t>(step.sent.size())),
                      0u);
            Frame reply;
            EXPECT_EQ(farEnd.AwaitFrame(reply), 0u);
            EXPECT_EQ(reply, step.reply);
        }
        EXPECT_TRUE(lombex32.AwaitOutput(
            [&](const std::string& output) { return Lines(output).size() >= shownLines; }))
            << lombex32.Output() << lombex32.Errors();
        result.status = lombex32.Terminate();
        result.errors = lombex32.Errors();
        const std::string output = lombex32.Output();
        const size_t statistics = output.find("Statistics (");
        result.lines = Lines(output.substr(0, statistics));
        result.statistics = statistics == std::string::npos ? "" : output.substr(statistics);
        result.csv = Lines(ReadText(csv));
        return result;
    }

    // The statistics lines that do not depend on timing.
    static std::string Counts(const std::string& statistics) {
        std::string counts;
        for (const std::string& line : Lines(statistics)) {
            if (line.find("Received") != std::string::npos ||
                line.find("Sent") != std::string::npos || line.find("Errors") != std::string::npos ||
                line.find("Frame types") != std::string::npos) {
                counts += line + "\n";
            }
        }
        return counts;
    }
};

// X.25's LAPB: the DTE's commands and the DCE's responses carry address B (0x01), the DCE's
// commands and the DTE's responses address A (0x03). The test is the DTE, lombex32 the DCE.
const std::vector<Step> kLapbExchange = {
    {{0x01, 0x3F}, {0x01, 0x73}},                                      // SABM P / UA F
    {{0x01, 0x00, 0x10, 0x01, 0x0B, 0x45, 0x31, 0x10, 0x12, 0x34, 0x50, 0x00},  // I + CALL-REQ
     {0x03, 0x20, 0x10, 0x01, 0x0F}},                                  // I + CALL-ACC
    {{0x03, 0x21}, {0x01, 0x25}},                          // DTE's RR / DCE busy: RNR
    {{0x01, 0x31}, {0x01, 0x31}},                          // RR P (poll) / RR F: busy over
    {{0x01, 0x22, 0x10, 0x01, 0x00, 'H', 'I'}, {0x01, 0x29}},  // I N(S)=1 / REJ N(R)=1
    {{0x01, 0x22, 0x10, 0x01, 0x00, 'H', 'I'}, {0x01, 0x41}},  // I again / RR N(R)=2
    {{0x01, 0x53}, {0x01, 0x73}},                                      // DISC P / UA F
};

// How lombex32 shows the exchange on the DCE's port, and counts it.
const std::vector<std::string> kLapbLines = {
    "0001     2 B C SABM P",
    "SENT     2 B R UA F",
    "0002    12 B C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 CALL-REQ CALLED=31101 CALLING=2345",
    "SENT     5 A C I N(S)=0 N(R)=1 X.25 GFI=1 LCN=1 CALL-ACC",
    "0003     2 A RR N(R)=1",
    "SENT     2 B RNR N(R)=1",
    "0004     2 B RR N(R)=1 P/F",
    "SENT     2 B RR N(R)=1 P/F",
    "0005     7 B C I N(S)=1 N(R)=1 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0",
    "SENT     2 B REJ N(R)=1",
    "0006     7 B C I N(S)=1 N(R)=1 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0",
    "SENT     2 B RR N(R)=2",
    "0007     2 B C DISC P",
    "SENT     2 B R UA F",
};
const char* const kLapbCounts =
    "  Received: 7 frames, 34 bytes\n"
    "  Sent: 7 frames, 17 bytes\n"
    "  Errors: CRC 0, overrun 0, abort not reported, short 0, malformed 0, other 0\n"
    "  Frame types: I 4, RR 4, UA 2, SABM 1, RNR 1, REJ 1, DISC 1\n";

TEST_F(DecodedCaptureOfAScriptedLink, LapbSetUpDataBothWaysBusyRejectAndRecoveryAndClearing) {
    const Result result = Exchange("lapb", kLapbExchange, 14);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.lines, kLapbLines);
    EXPECT_EQ(Counts(result.statistics), kLapbCounts);
    // One CSV row a frame, numbered in the order the frames crossed the port, with the words
    // of the decoded view and a column for each field.
    ASSERT_EQ(result.csv.size(), 15u);
    EXPECT_EQ(result.csv[0].substr(0, 60),
              "number,time,direction,length,status,decoded,problem,addr,sta");
    EXPECT_EQ(result.csv[10].substr(0, 2), "10");
    EXPECT_NE(result.csv[10].find(",sent,2,OK,B REJ N(R)=1,,01,B,,REJ,,1,0,"), std::string::npos)
        << result.csv[10];
}

TEST_F(DecodedCaptureOfAScriptedLink, FrameRelayLinkManagementAndCongestionBits) {
    const std::vector<Step> exchange = {
        // Annex D link integrity: the router's enquiry, the network's status.
        {{0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01, 0x01, 0x01, 0x03, 0x02, 0x01, 0x00},
         {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x01, 0x01, 0x01, 0x03, 0x02, 0x01, 0x01}},
        // Full status: PVC 100 active, PVC 200 new and not yet active.
        {{0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01, 0x01, 0x00, 0x03, 0x02, 0x02, 0x01},
         {0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x01, 0x01, 0x00, 0x03, 0x02, 0x02, 0x02,
          0x07, 0x03, 0x06, 0xA0, 0x82, 0x07, 0x03, 0x0C, 0xC0, 0x88}},
        // IP on DLCI 100: the network answers with BECN, the router marks DE, the network FECN.
        {{0x18, 0x41, 0x03, 0xCC, 0x45, 0x00}, {0x18, 0x45, 0x03, 0xCC, 0x45, 0x00}},
        {{0x18, 0x43, 0x03, 0xCC, 0x45, 0x00}, {0x18, 0x49, 0x03, 0xCC, 0x45, 0x00}},
    };
    const Result result = Exchange("fr", exchange, 8);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.lines,
              (std::vector<std::string>{
                  "0001    14 DLCI 0 LMI ANNEX-D STATUS-ENQ REPORT LIV TXSEQ=1 RXSEQ=0",
                  "SENT    14 DLCI 0 LMI ANNEX-D STATUS REPORT LIV TXSEQ=1 RXSEQ=1",
                  "0002    14 DLCI 0 LMI ANNEX-D STATUS-ENQ REPORT FULL TXSEQ=2 RXSEQ=1",
                  "SENT    24 DLCI 0 LMI ANNEX-D STATUS REPORT FULL TXSEQ=2 RXSEQ=2 PVC 100 ACTIVE "
                  "PVC 200 INACTIVE NEW",
                  "0003     6 DLCI 100 NLPID=CC IP",
                  "SENT     6 DLCI 100 BECN NLPID=CC IP",
                  "0004     6 DLCI 100 DE NLPID=CC IP",
                  "SENT     6 DLCI 100 FECN NLPID=CC IP",
              }));
    EXPECT_EQ(Counts(result.statistics),
              "  Received: 4 frames, 40 bytes\n"
              "  Sent: 4 frames, 50 bytes\n"
              "  Errors: CRC 0, overrun 0, abort not reported, short 0, malformed 0, other 0\n"
              "  Frame types: IP 4, LMI STATUS-ENQ 2, LMI STATUS 2\n");
}

TEST_F(DecodedCaptureOfAScriptedLink, CiscoHdlcSlarpAddressAndKeepalives) {
    auto slarp = [](uint8_t code, std::array<uint8_t, 8> words) {
        Frame frame = {0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, code};
        frame.insert(frame.end(), words.begin(), words.end());
        frame.insert(frame.end(), {0xFF, 0xFF});  // reliability
        return frame;
    };
    const std::vector<Step> exchange = {
        {slarp(0, {}), slarp(1, {10, 1, 1, 2, 255, 255, 255, 252})},
        {slarp(2, {0, 0, 0, 1, 0, 0, 0, 0}), slarp(2, {0, 0, 0, 1, 0, 0, 0, 1})},
        {slarp(2, {0, 0, 0, 2, 0, 0, 0, 1}), slarp(2, {0, 0, 0, 2, 0, 0, 0, 2})},
        {{0x0F, 0x00, 0x08, 0x00, 0x45, 0x00}, {0x0F, 0x00, 0x08, 0x00, 0x45, 0x00}},
    };
    const Result result = Exchange("cisco", exchange, 8);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.lines,
              (std::vector<std::string>{
                  "0001    18 ADDR=8F PROTO=8035 SLARP REQUEST IP=0.0.0.0 MASK=0.0.0.0",
                  "SENT    18 ADDR=8F PROTO=8035 SLARP REPLY IP=10.1.1.2 MASK=255.255.255.252",
                  "0002    18 ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=1 YOURSEQ=0",
                  "SENT    18 ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=1 YOURSEQ=1",
                  "0003    18 ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=2 YOURSEQ=1",
                  "SENT    18 ADDR=8F PROTO=8035 SLARP KEEPALIVE MYSEQ=2 YOURSEQ=2",
                  "0004     6 ADDR=0F PROTO=0800 IP",
                  "SENT     6 ADDR=0F PROTO=0800 IP",
              }));
}

// A CSV row without its time cell (the second).
std::string WithoutTime(const std::string& row) {
    const size_t time = row.find(',');
    return row.substr(0, time) + row.substr(row.find(',', time + 1));
}

TEST_F(DecodedCaptureOfAScriptedLink, AFilterLimitsTheLinesTheLogAndTheCsvButNotTheCounts) {
    const std::filesystem::path log = prefix_.path() / "filtered.log";
    const std::filesystem::path saved = prefix_.path() / "saved.pcapng";
    const char* const filter = "type == RNR || type == REJ";
    const Result result =
        Exchange("lapb", kLapbExchange, 2,
                 {"--filter", filter, "--log", log.string(), "--pcap", saved.string()});
    EXPECT_EQ(result.status, 0) << result.errors;
    const std::vector<std::string> filtered = {"SENT     2 B RNR N(R)=1",
                                               "SENT     2 B REJ N(R)=1"};
    EXPECT_EQ(result.lines, filtered);
    EXPECT_EQ(ReadText(log), "SENT     2 B RNR N(R)=1\r\r\nSENT     2 B REJ N(R)=1\r\r\n");
    ASSERT_EQ(result.csv.size(), 3u);
    EXPECT_EQ(result.csv[1].substr(0, 2), "6,");
    EXPECT_EQ(result.csv[2].substr(0, 3), "10,");
    EXPECT_NE(Counts(result.statistics).find("Received: 7 frames"), std::string::npos);

    // The capture file keeps every frame: decoded again from it, the exchange reads as it did
    // live, and the same filter picks the same frames with the same numbers.
    const std::filesystem::path csv = prefix_.path() / "saved.csv";
    auto decodeSaved = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {LOMBEX32_PROGRAM, "--decode", saved.string(), "--link",
                                         "lapb"};
        args.insert(args.end(), extra.begin(), extra.end());
        ProgramRun lombex32(args, prefix_.path());
        EXPECT_EQ(lombex32.Wait(), 0) << lombex32.Errors();
        EXPECT_EQ(lombex32.Errors(), "");
        return lombex32.Output();
    };
    const std::string whole = decodeSaved({"--stats"});
    const size_t statistics = whole.find("Statistics (");
    EXPECT_EQ(Lines(whole.substr(0, statistics)), kLapbLines);
    EXPECT_EQ(Counts(whole.substr(std::min(statistics, whole.size()))), kLapbCounts);
    EXPECT_EQ(Lines(decodeSaved({"--filter", filter, "--csv", csv.string()})), filtered);
    const std::vector<std::string> rows = Lines(ReadText(csv));
    ASSERT_EQ(rows.size(), result.csv.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(WithoutTime(rows[i]), WithoutTime(result.csv[i]));
    }
}

}  // namespace
}  // namespace qorval::analyser::testing
