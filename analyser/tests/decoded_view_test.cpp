// The decoded view beside the three byte formats, the filter over what is shown and logged,
// the statistics of a capture, and the command line's decoded capture, CSV and summary.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "analyser/decoded_csv.h"
#include "analyser/frame_format.h"
#include "analyser/tests/headless_fixture.h"
#include "platform/profile.h"

namespace qorval::analyser::testing {
namespace {

class DecodedView : public EngineTest {
  protected:
    void QueueBytes(std::vector<uint8_t> bytes, uint32_t result = QORVAL_OK) {
        Fake().QueueFrame(kDriver, 1, std::move(bytes), 0, result);
    }
    // A capture of port 1 with a formatted log, decoded as LAPB.
    void StartLapbCaptureWithLog() {
        OpenPort();
        app_->SetLinkProtocol(decode::LinkProtocol::Lapb);
        app_->SetDecodedView();
        app_->SetLoggingOptions(WriteFile("log.txt", "").string(), false);
        app_->ToggleLogging();
        ASSERT_TRUE(app_->LoggingEnabled());
        StartCapture();
    }
    std::string Log() {
        app_->FlushOutput();
        return ReadFile(dir_ / "log.txt");
    }
};

TEST_F(DecodedView, ShowsAndLogsOneDecodedLineAFrameBesideTheByteFormats) {
    StartLapbCaptureWithLog();
    EXPECT_TRUE(ui_.menu.decodedView);
    QueueBytes({0x01, 0x3F});                               // SABM P
    QueueBytes({0x01, 0x21}, QORVAL_CRC_ERROR);             // RR with a CRC error
    QueueBytes({0x03, 0x00, 0x10, 0x01, 0x00, 0x41, 0x42});  // I with an X.25 data packet
    PollFrames(3);
    EXPECT_EQ(ui_.view.text_,
              "0003     7 A C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0\r\n");
    // The log is text mode: every line ends CR CR LF, as the byte formats' lines do.
    EXPECT_EQ(Log(),
              "0001     2 B C SABM P\r\r\n"
              "0002     2 [CRC error on GetData!] B RR N(R)=1\r\r\n"
              "0003     7 A C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0\r\r\n");

    // A byte format shows the last frame again in its own way, unchanged by the decoded view.
    app_->SetDisplayFormat(kDisplayHex);
    EXPECT_FALSE(ui_.menu.decodedView);
    EXPECT_EQ(ui_.view.text_, "0003 0000 03 00 10 01 00 41 42 \r\n");
    app_->SetDecodedView();
    EXPECT_EQ(ui_.view.text_,
              "0003     7 A C I N(S)=0 N(R)=0 X.25 GFI=1 LCN=1 DATA P(S)=0 P(R)=0\r\n");
    EXPECT_EQ(ui_.LastStatus(), "Setting display format to decoded LAPB / X.25 (modulo 8).");

    // The decoded view and the link are kept in a section of their own; "DISPLAY" keeps the
    // byte format last chosen.
    app_->Shutdown();
    const platform::ProfileFile profile(dir_ / "lombex32.ini");
    EXPECT_EQ(profile.GetString("Decode", "View", ""), "1");
    EXPECT_EQ(profile.GetString("Decode", "Link", ""), "lapb");
    EXPECT_EQ(profile.GetInt("PARMS", "DISPLAY", -1), kDisplayHex);
    CAnalyserApp again(ui_, dir_ / "lombex32.ini");
    ASSERT_TRUE(again.Startup());
    EXPECT_TRUE(again.DecodedView());
    EXPECT_EQ(again.LinkProtocolSetting(), decode::LinkProtocol::Lapb);
}

TEST_F(DecodedView, FilterLimitsWhatIsShownAndLoggedButEveryFrameIsCounted) {
    StartLapbCaptureWithLog();
    ASSERT_EQ(app_->SetFilter("type == RNR || error"), std::nullopt);
    EXPECT_EQ(ui_.LastStatus(), "Showing the frames that match: type == RNR || error");
    QueueBytes({0x01, 0x21});                    // RR: hidden
    QueueBytes({0x01, 0x45});                    // RNR
    QueueBytes({0x01, 0x21});                    // RR: hidden
    QueueBytes({0x01}, QORVAL_OK);               // short
    QueueBytes({0x03, 0x29}, QORVAL_OVERRUN);    // REJ with an overrun
    QueueBytes({0x01, 0x21});                    // RR: hidden
    for (int i = 0; i < 1000 && app_->Statistics().received.frames < 6; ++i) {
        app_->PollStep();
    }
    EXPECT_EQ(app_->FramesShown(), 3u);
    // Hidden frames keep their numbers, so the gaps show where they were.
    EXPECT_EQ(Log(),
              "0002     2 B RNR N(R)=2\r\r\n"
              "0004     1 B SHORT at byte 1: no control field\r\r\n"
              "0005     2 [Overrun error on GetData!] A REJ N(R)=1\r\r\n");
    // The last frame taken was hidden: a format change shows the last one shown.
    app_->SetDisplayFormat(kDisplayHex);
    EXPECT_EQ(ui_.view.text_, "0005 0000 4F 76 65 72 72 75 6E 20 65 72 72 6F 72 20 6F 6E \r\n"
                              "0005 0010 20 47 65 74 44 61 74 61 21 \r\n");

    const StatisticsSnapshot statistics = app_->Statistics();
    EXPECT_EQ(statistics.received.frames, 6u);
    EXPECT_EQ(statistics.received.bytes, 11u);
    EXPECT_EQ(statistics.ErrorCount(FrameError::Overrun), 1u);
    EXPECT_EQ(statistics.ErrorCount(FrameError::Short), 1u);

    // An empty filter shows everything again.
    ASSERT_EQ(app_->SetFilter(""), std::nullopt);
    EXPECT_EQ(ui_.LastStatus(), "Showing every frame.");
    QueueBytes({0x01, 0x21});
    PollFrames(4);
}

TEST_F(DecodedView, AFaultyFilterKeepsTheOneInForceAndSaysWhatIsWrong) {
    StartLapbCaptureWithLog();
    ASSERT_EQ(app_->SetFilter("de"), std::nullopt);
    const std::optional<FilterError> error = app_->SetFilter("type == RNRX");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(ui_.LastStatus(), "Filter not changed, at column 9: type has no value named RNRX");
    EXPECT_EQ(app_->Filter().Expression(), "de");
}

TEST_F(DecodedView, ATextInAFramesPlaceIsShownAsTextAndAHeldBlockIsDecoded) {
    OpenPort();
    app_->SetLinkProtocol(decode::LinkProtocol::Lapb);
    app_->SetDecodedView();
    SendOptions options{"", false, WriteFile("send.txt", "#01#3F\n").string(), true};
    app_->SetSendOptions(options);
    app_->ToggleTransmit();
    Fake().FailNext("QORVAL_PutData", QORVAL_GENERAL_ERROR);
    StartCapture();
    app_->PollStep();
    EXPECT_EQ(ui_.view.text_, "SENT [ERROR SENDING FRAME!]\r\n");
    ASSERT_EQ(app_->SetFilter("failed"), std::nullopt);
    QueueBytes({0x01, 0x73});  // UA: releases the next block, which goes out
    app_->PollStep();
    app_->PollStep();
    EXPECT_EQ(ui_.view.text_, "SENT [ERROR SENDING FRAME!]\r\n");  // both hidden
    ASSERT_EQ(app_->SetFilter("sent"), std::nullopt);
    QueueBytes({0x01, 0x73});
    app_->PollStep();
    app_->PollStep();
    EXPECT_EQ(ui_.view.text_, "SENT     2 B C SABM P\r\n");
    EXPECT_EQ(app_->Statistics().sent.frames, 2u);  // the failed send is no frame on the line
}

// The frames' own times (as the library stamps them on arrival, here the fake's clock) place
// them in the statistics' seconds, in the CSV and in the time column of the decoded lines.
TEST_F(DecodedView, ArrivalTimesDriveTheRatesTheCsvAndTheTimeColumn) {
    app_->SetWallClock([] { return fake::FakeLibrary::ArrivalNsOf(Fake().NowMs()); });
    OpenPort();
    app_->SetLinkProtocol(decode::LinkProtocol::Lapb);
    app_->SetDecodedView();
    app_->SetTimeColumn(TimeColumn::SincePrevious);
    DecodedCsvFile csv;
    ASSERT_TRUE(csv.Open(dir_ / "times.csv", decode::LinkProtocol::Lapb));
    app_->SetDecodedFrameSink(&csv);
    StartCapture();
    const uint32_t start = Fake().NowMs();
    for (uint32_t at : {5u, 7u, 900u, 1500u}) {  // three frames in the first second, one after
        Fake().QueueFrame(kDriver, 1, {0x01, 0x21}, start + at);
    }
    Fake().AdvanceMs(1600);
    PollFrames(4);
    EXPECT_EQ(ui_.view.text_, "   0.600000 0004     2 B RR N(R)=1\r\n");
    // At 1.6 s the last whole second is the first one; at 2.1 s it is the second.
    EXPECT_EQ(app_->Statistics().now, (Rate{3, 48}));
    EXPECT_EQ(app_->Statistics().peak, (Rate{3, 48}));
    Fake().AdvanceMs(500);
    EXPECT_EQ(app_->Statistics().now, (Rate{1, 16}));
    app_->ToggleCapture();
    app_->SetDecodedFrameSink(nullptr);
    ASSERT_TRUE(csv.Close());
    std::istringstream rows(ReadFile(dir_ / "times.csv"));
    std::string row, times;
    std::getline(rows, row);
    while (std::getline(rows, row)) {
        times += row.substr(row.find(',') + 1, 8) + " ";
    }
    EXPECT_EQ(times, "0.005000 0.007000 0.900000 1.500000 ");
}

using DecodedHeadless = HeadlessTest;

TEST_F(DecodedHeadless, PrintsDecodedLinesWritesTheCsvAndEndsWithTheStatistics) {
    auto QueueBytes = [](std::vector<uint8_t> bytes, uint32_t result = QORVAL_OK) {
        Fake().QueueFrame(kDriver, 1, std::move(bytes), 0, result);
    };
    QueueBytes({0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95, 0x01, 0x01, 0x01, 0x03, 0x02, 0x05,
                0x04});
    QueueBytes({0x18, 0x4B, 0x03, 0xCC, 0x45});
    QueueBytes({0x18, 0x41, 0x03, 0xCC, 0x45}, QORVAL_CRC_ERROR);
    const std::string csv = (dir_ / "decoded.csv").string();
    ASSERT_EQ(Run({"--format", "decoded", "--link", "fr", "--filter", "dlci == 100 || lmi",
                   "--csv", csv, "--stats", "--seconds", "1"}),
              0)
        << err_.str();
    EXPECT_EQ(out_.str().substr(0, out_.str().find("Statistics")),
              "0001    14 DLCI 0 LMI ANNEX-D STATUS-ENQ REPORT LIV TXSEQ=5 RXSEQ=4\n"
              "0002     5 DLCI 100 FECN DE NLPID=CC IP\n"
              "0003     5 [CRC error on GetData!] DLCI 100 NLPID=CC IP\n");
    EXPECT_NE(out_.str().find("  Received: 3 frames, 24 bytes\n"
                              "  Sent: 0 frames, 0 bytes\n"),
              std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("  Errors: CRC 1, overrun 0, abort not reported, short 0, malformed 0, other 0\n"
                              "  Frame types: IP 2, LMI STATUS-ENQ 1\n"),
              std::string::npos)
        << out_.str();
    const std::string rows = ReadFile(csv);
    std::istringstream lines(rows);
    std::string header, first, second, third;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_EQ(header,
              "number,time,direction,length,status,decoded,problem,dlci,crbit,fecn,becn,de,nlpid,"
              "oui,proto,lmi,msg,report,txseq,rxseq,pvc,pvc_active,pvc_inactive,pvc_new,"
              "pvc_deleted,ie\r");
    EXPECT_EQ(first.substr(first.find(",received")),
              ",received,14,OK,DLCI 0 LMI ANNEX-D STATUS-ENQ REPORT LIV TXSEQ=5 RXSEQ=4,,0,0,0,0,"
              "0,,,,ANNEX-D,STATUS-ENQ,LIV,5,4,,,,,,\r");
    EXPECT_EQ(second.substr(second.find(",received")),
              ",received,5,OK,DLCI 100 FECN DE NLPID=CC IP,,100,0,1,0,1,CC,,,,,,,,,,,,,\r");
    EXPECT_EQ(third.substr(third.find(",received")),
              ",received,5,CRC error on GetData!,DLCI 100 NLPID=CC IP,,100,0,0,0,0,CC,,,,,,,,,,,,,"
              "\r");
    EXPECT_EQ(first.substr(0, 2), "1,");
    EXPECT_EQ(third.substr(0, 2), "3,");
}

TEST_F(DecodedHeadless, RefusesAnUnknownLinkAndAFaultyFilterBeforeOpeningThePort) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--capture", "--link", "hdlc"}, "lombex32: invalid link hdlc\n"},
        {{"--capture", "--filter", "dlci = = 1"},
         "lombex32: invalid filter, column 8: expected a value after the comparison\n"},
        {{"--capture", "--format", "decode"}, "lombex32: invalid format decode\n"},
    };
    for (const auto& [args, text] : cases) {
        const auto parsed = ParseHeadlessArguments(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_EQ(std::get<std::string>(parsed).substr(0, std::strlen(text)), text);
    }
}

TEST(DecodedCsv, QuotesCellsWithCommasAndQuotes) {
    const decode::DecodedFrame slarp = decode::DecodeFrame(
        decode::LinkProtocol::CiscoHdlc,
        std::vector<uint8_t>{0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x07});
    const FrameFacts facts{.number = 12, .length = 8, .sent = true, .decoded = &slarp};
    EXPECT_EQ(DecodedCsvRow(facts, decode::LinkProtocol::CiscoHdlc, 5'250'000'999, 1),
              "12,5.250000,sent,8,OK,ADDR=8F PROTO=8035 SLARP SLARP=07,"
              "\"MALFORMED at byte 4: SLARP code is not 0, 1 or 2\",8F,8035,07,,,,\r\n");
}

}  // namespace
}  // namespace qorval::analyser::testing
