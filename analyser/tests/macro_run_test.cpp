// The macro interpreter against the fake library, and one analyser answering another over a
// simulated pair of ports.
#include <gtest/gtest.h>

#include <cstring>

#include "analyser/port_state_variable.h"
#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {
namespace {

using MacroRunTest = EngineTest;

constexpr const char* kStopMessage = "Macro execution halted via STOP command!";

TEST_F(MacroRunTest, GetCountsFramesAcrossPassesThenStops) {
    OpenPort();
    RunMacroProgram("GET 2\nSTOP\n");
    for (int i = 0; i < 20; ++i) {
        app_->PollStep();  // passes without a frame do not count
    }
    EXPECT_TRUE(app_->MacroMode());
    Queue("one");
    Queue("bad", QORVAL_OVERRUN);  // an error text is shown but not counted
    Queue("two");
    PollFrames(3);
    EXPECT_EQ(ui_.view.text_, "0000 0000 two\r\n");  // GET does not number frames
    EXPECT_TRUE(app_->MacroMode());
    app_->PollStep();
    EXPECT_FALSE(app_->MacroMode());
    EXPECT_FALSE(app_->TransmitEnabled());
    EXPECT_EQ(ui_.LastMessage(), kStopMessage);
    EXPECT_FALSE(ui_.menu.transmitting);
}

TEST_F(MacroRunTest, ABlockThatWaitsForABufferIsShownAndLoggedOnceWhenItGoes) {
    OpenPort();
    const auto log = dir_ / "sent.log";
    app_->MutableParms().logFile = log.string();
    app_->ToggleLogging();
    Fake().SetTxBuffersFree(kDriver, 1, 0);
    RunMacroProgram("SEND 2\n", "A\nB\n");
    for (int pass = 0; pass < 5; ++pass) {
        app_->PollStep();
        // Nothing new: the block is held, not shown, and the idle loop may rest.
        EXPECT_TRUE(app_->LastPollIdle());
    }
    EXPECT_EQ(app_->FramesShown(), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ui_.view.text_, "");
    Fake().SetTxBuffersFree(kDriver, 1, std::nullopt);
    PollFrames(2);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"A", "B"}));
    app_->PollStep();
    EXPECT_EQ(ui_.LastMessage(), kStopMessage);
    app_->ToggleLogging();
    EXPECT_EQ(ReadFile(log), "SENT 0000 A\r\r\nSENT 0000 B\r\r\n");
}

TEST_F(MacroRunTest, SendErrorHaltsTheMacro) {
    OpenPort();
    RunMacroProgram("SEND 1\nGET 1\n");
    Fake().FailNext("QORVAL_PutData", QORVAL_GENERAL_ERROR);
    PollFrames(1);
    EXPECT_EQ(
        ui_.view.text_,
        "SENT 0000 Transmit<SP>error<SP>on<SP>SEND<SP>-<SP>macro<SP>execution<SP>halted!\r\n");
    EXPECT_FALSE(app_->MacroMode());
    EXPECT_FALSE(app_->TransmitEnabled());
}

TEST_F(MacroRunTest, CopyThenSendZeroEchoesTheLastFrame) {
    OpenPort();
    RunMacroProgram("LOOP: GET 1\nCOPY RS\nSEND 0\nGOTO LOOP\n");
    Queue(std::string("\x01\x02#", 3));
    Queue("second");
    PollFrames(4);
    EXPECT_EQ(Sent(), (std::vector<std::string>{std::string("\x01\x02#", 3), "second"}));
}

TEST_F(MacroRunTest, IfTestsTheBufferOfTheLastGetOrSend) {
    OpenPort();
    // After SEND the block read ("X" is 88), after GET the frame; tests outside the buffer or
    // before either are never satisfied.
    RunMacroProgram(
        "IF 0 0 WRONG\n"
        "SEND 1\nIF 0 88 SENT\nGOTO WRONG\n"
        "SENT: IFNE 60000 0 WRONG\nIF -1 0 WRONG\nGET 1\nIFGE 1 66 WRONG\nIFLT 1 66 GOT\n"
        "WRONG: SEND 1\nGOT: STOP\n",
        "X\n");
    Queue("AA");
    PollFrames(2);
    app_->PollStep();
    EXPECT_EQ(ui_.LastMessage(), kStopMessage);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"X"}));
}

TEST_F(MacroRunTest, LoopWithoutGetSendOrStopReturnsFromEachPass) {
    OpenPort();
    RunMacroProgram("L: SETNODE 1\nGOTO L\n");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(app_->PollStep());
        EXPECT_TRUE(app_->LastPollIdle());
    }
    EXPECT_TRUE(app_->MacroMode());
}

TEST_F(MacroRunTest, EmptySendFileNeitherFreezesNorSends) {
    OpenPort();
    RunMacroProgram("SEND 1\n", "\n\n");
    app_->PollStep();
    app_->PollStep();
    EXPECT_EQ(app_->FramesShown(), 0u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MacroRunTest, SkipDropsBlocksAndGetZeroReadsNothing) {
    OpenPort();
    RunMacroProgram("SKIP 2\nGET 0\nSEND 1\n", "A\nB\nC\n");
    PollFrames(1);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"C"}));
}

TEST_F(MacroRunTest, SetModemChangesOnlyTheMaskedBits) {
    OpenPort();
    ASSERT_EQ(QORVAL_SetModemControl(app_->PortHandle(), QORVAL_MODEM_RTS), QORVAL_OK);
    Fake().SetModemInputs(kDriver, 1, QORVAL_MODEM_DSR);
    RunMacroProgram("SETMODEM 3 1\nGET 1\n");
    app_->PollStep();
    // Read 0x12, DTR and RTS replaced by 01: the input bit is carried unchanged.
    EXPECT_EQ(app_->Steps()[0].counter, 0x11);
    uint16_t word = 0;
    ASSERT_EQ(QORVAL_GetModemControl(app_->PortHandle(), &word), QORVAL_OK);
    EXPECT_EQ(word & (QORVAL_MODEM_DTR | QORVAL_MODEM_RTS), QORVAL_MODEM_DTR);
}

TEST(SetPortVariable, WidthsAndSignExtension) {
    struct Case {
        int16_t variable, value;
        uint32_t PortState::*field32;
        uint16_t PortState::*field16;
        uint8_t PortState::*field8;
        uint32_t expected;
    };
    const Case cases[] = {
        {1, -1, &PortState::rxTimeout, nullptr, nullptr, 0xFFFFFFFF},
        {2, 1000, &PortState::txTimeout, nullptr, nullptr, 1000},
        {3, -2, nullptr, &PortState::divisor, nullptr, 0xFFFE},
        {4, 300, nullptr, nullptr, &PortState::clockMultiplier, 44},
        {5, 8, nullptr, nullptr, &PortState::dataBits, 8},
        {6, 2, nullptr, nullptr, &PortState::stopBits, 2},
        {7, 3, nullptr, nullptr, &PortState::parity, 3},
        {8, 2, nullptr, nullptr, &PortState::txClock, 2},
        {9, 3, nullptr, nullptr, &PortState::rxClock, 3},
        {10, 1, nullptr, nullptr, &PortState::brgSource, 1},
        {11, -1, nullptr, nullptr, &PortState::loopback, 0xFF},
        {12, 1, nullptr, nullptr, &PortState::rs485, 1},
    };
    for (const Case& c : cases) {
        PortState state{};
        SetPortStateVariable(state, c.variable, c.value);
        const uint32_t got = c.field32   ? state.*c.field32
                             : c.field16 ? state.*c.field16
                                         : state.*c.field8;
        EXPECT_EQ(got, c.expected) << "variable " << c.variable;
        // No other byte of the record changed.
        PortState only = state;
        if (c.field32) {
            only.*c.field32 = 0;
        } else if (c.field16) {
            only.*c.field16 = 0;
        } else {
            only.*c.field8 = 0;
        }
        const PortState zero{};
        EXPECT_EQ(std::memcmp(&only, &zero, sizeof only), 0) << "variable " << c.variable;
    }
}

TEST_F(MacroRunTest, SetPortWritesTheFieldThroughThePort) {
    OpenPort();
    RunMacroProgram("SETPORT 3 -1\nSETPORT 8 2\nGET 1\n");
    app_->PollStep();
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(app_->PortHandle(), &state), QORVAL_OK);
    EXPECT_EQ(state.divisor, 0xFFFF);
    EXPECT_EQ(state.txClock, 2);
}

TEST_F(MacroRunTest, AfterStopTransmitRunsSendFileModeUntilTheMacroIsEnabledAgain) {
    OpenPort();
    RunMacroProgram("STOP\n", "BLOCK\n");
    app_->PollStep();
    EXPECT_EQ(ui_.LastMessage(), kStopMessage);
    app_->MutableParms().sendFirst = true;
    app_->ToggleTransmit();
    app_->ToggleCapture();
    StartCapture();
    PollFrames(1);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"BLOCK"}));
}

TEST_F(MacroRunTest, ParseFailureStopsTransmission) {
    OpenPort();
    app_->SetSendOptions({WriteFile("macro.txt", "GET\n").string(), true,
                          WriteFile("send.txt", "X\n").string(), false});
    EXPECT_EQ(ui_.LastMessage(), "GET: Missing count on line 1 at:  - Aborting");
    EXPECT_EQ(ui_.LastStatus(), "Macro program parsing failed. Transmission stopped.");
    EXPECT_FALSE(app_->MacroMode());
    EXPECT_TRUE(app_->Steps().empty());

    app_->SetSendOptions({(dir_ / "none.txt").string(), true, "", false});
    EXPECT_EQ(ui_.LastMessage(), "Could not open macro file, aborting execution!");
}

TEST_F(MacroRunTest, MacroParsesBeforeAnyPortIsSelected) {
    ASSERT_TRUE(app_->Startup());
    app_->SetSendOptions({WriteFile("macro.txt", "GET 1\nSEND 1\n").string(), true, "", false});
    EXPECT_TRUE(app_->MacroMode());
    EXPECT_EQ(app_->Steps().size(), 3u);
    EXPECT_EQ(ui_.user.statuses[ui_.user.statuses.size() - 2], "Parsing of macro file completed.");
}

// Two analysers on the two ends of a pair: the first runs a macro against the second, which
// answers every frame from its send file.
TEST(TwoAnalysers, MacroTalksToAFarEndThatAnswersFromItsSendFile) {
    auto& fake = fake::FakeLibrary::Instance();
    fake.Reset();
    for (uint16_t port : {1, 2}) {
        fake::FakePortSpec port_spec;
        port_spec.port = port;
        fake.AddPort(port_spec);
    }
    fake.ConnectPair(QORVAL_DRIVER_WYVEL32, 1, 2);
    const auto dir = MakeTempDir();
    auto write = [&](const char* name, const char* text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };

    RecordingUi nearUi, farUi;
    farUi.choice = PortChoice{QORVAL_DRIVER_WYVEL32, 2};
    CAnalyserApp nearEnd(nearUi, dir / "near.ini");
    CAnalyserApp farEnd(farUi, dir / "far.ini");
    ASSERT_TRUE(nearEnd.Startup() && nearEnd.SelectDriverPort());
    ASSERT_TRUE(farEnd.Startup() && farEnd.SelectDriverPort());

    farEnd.SetSendOptions({"", false, write("far.txt", "ACK1\nACK2\n"), false});
    farEnd.ToggleTransmit();
    farEnd.ToggleCapture();

    nearEnd.SetSendOptions({write("macro.txt",
                                  "      SEND 1          ; ask\n"
                                  "      GET 1\n"
                                  "      IF 3 49 NEXT    ; '1'\n"
                                  "      GOTO FAIL\n"
                                  "NEXT: SEND 1\n"
                                  "      GET 1\n"
                                  "      IFNE 3 50 FAIL  ; '2'\n"
                                  "      STOP\n"
                                  "FAIL: SEND 1\n"),
                            true, write("near.txt", "REQ\n"), false});
    nearEnd.ToggleTransmit();
    nearEnd.ToggleCapture();

    for (int i = 0; i < 1000 && nearEnd.MacroMode(); ++i) {
        nearEnd.PollStep();
        farEnd.PollStep();
    }
    EXPECT_EQ(nearUi.LastMessage(), kStopMessage);
    EXPECT_EQ(nearEnd.RxFrame().size(), 4u);
    EXPECT_EQ(std::string(nearEnd.RxFrame().begin(), nearEnd.RxFrame().end()), "ACK2");
    EXPECT_EQ(farEnd.FrameCount(), 2u);  // exactly two requests: FAIL never sent a third
    EXPECT_EQ(farUi.view.text_, "SENT 0000 ACK2\r\n");
    nearEnd.Shutdown(false);
    farEnd.Shutdown(false);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qorval::analyser::testing
