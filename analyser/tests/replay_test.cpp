// Replay of a capture onto a port: the pcapng reader against the analyser's own files, files in
// the other byte order and resolution as other analysers write them, and damaged files; the
// choice of frames and their due times; the session's timing against the fake library's
// virtual clock; the command and `lombex32 --replay`.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>

#include "analyser/capture_record.h"
#include "analyser/headless.h"
#include "analyser/pcapng_reader.h"
#include "analyser/replay.h"
#include "analyser/saved_capture_command.h"
#include "analyser/tests/engine_fixture.h"
#include "platform/testing/fifo_watchdog.h"

namespace qorval::analyser::testing {
namespace {

// pcapng blocks in either byte order.
class PcapngBuilder {
  public:
    explicit PcapngBuilder(bool bigEndian = false) : big_(bigEndian) {}

    PcapngBuilder& Section(uint16_t major = 1) {
        std::string body;
        U32(body, 0x1A2B3C4D);
        U16(body, major);
        U16(body, 0);
        U32(body, 0xFFFFFFFF);
        U32(body, 0xFFFFFFFF);
        return Block(0x0A0D0D0A, body);
    }
    // Options as code and value; an end-of-options mark is added.
    PcapngBuilder& Interface(uint16_t linkType,
                             std::vector<std::pair<uint16_t, std::string>> options = {},
                             uint32_t snap = 0) {
        std::string body;
        U16(body, linkType);
        U16(body, 0);
        U32(body, snap);
        return Block(1, body + Options(options));
    }
    PcapngBuilder& Enhanced(uint32_t interfaceId, uint64_t units, std::string_view bytes,
                            uint32_t flags = 1, std::optional<uint32_t> original = {}) {
        std::string body;
        U32(body, interfaceId);
        U32(body, static_cast<uint32_t>(units >> 32));
        U32(body, static_cast<uint32_t>(units));
        U32(body, static_cast<uint32_t>(bytes.size()));
        U32(body, original.value_or(static_cast<uint32_t>(bytes.size())));
        body += Padded(bytes);
        std::string flagsValue;
        U32(flagsValue, flags);
        return Block(6, body + Options({{2, flagsValue}}));
    }
    PcapngBuilder& Simple(std::string_view bytes) {
        std::string body;
        U32(body, static_cast<uint32_t>(bytes.size()));
        return Block(3, body + Padded(bytes));
    }
    PcapngBuilder& Obsolete(uint16_t interfaceId, uint64_t units, std::string_view bytes) {
        std::string body;
        U16(body, interfaceId);
        U16(body, 0);
        U32(body, static_cast<uint32_t>(units >> 32));
        U32(body, static_cast<uint32_t>(units));
        U32(body, static_cast<uint32_t>(bytes.size()));
        U32(body, static_cast<uint32_t>(bytes.size()));
        return Block(2, body + Padded(bytes));
    }
    PcapngBuilder& Block(uint32_t type, const std::string& body) {
        const auto length = static_cast<uint32_t>(body.size() + 12);
        U32(bytes, type);
        U32(bytes, length);
        bytes += body;
        U32(bytes, length);
        return *this;
    }
    std::string U64(uint64_t value) {
        std::string out;
        U32(out, static_cast<uint32_t>(big_ ? value >> 32 : value));
        U32(out, static_cast<uint32_t>(big_ ? value : value >> 32));
        return out;
    }

    std::string bytes;

  private:
    void U16(std::string& out, uint16_t v) {
        const char b[2] = {static_cast<char>(big_ ? v >> 8 : v), static_cast<char>(big_ ? v : v >> 8)};
        out.append(b, 2);
    }
    void U32(std::string& out, uint32_t v) {
        U16(out, static_cast<uint16_t>(big_ ? v >> 16 : v));
        U16(out, static_cast<uint16_t>(big_ ? v : v >> 16));
    }
    static std::string Padded(std::string_view bytes) {
        std::string out(bytes);
        out.append((4 - out.size() % 4) % 4, '\0');
        return out;
    }
    std::string Options(const std::vector<std::pair<uint16_t, std::string>>& options) {
        std::string out;
        for (const auto& [code, value] : options) {
            U16(out, code);
            U16(out, static_cast<uint16_t>(value.size()));
            out += Padded(value);
        }
        U32(out, 0);
        return out;
    }
    bool big_;
};

// Every packet of a file held in memory, and the reader's error.
struct ReadBack {
    std::vector<CapturePacket> packets;
    std::vector<CaptureInterface> interfaces;
    std::string error;
};

ReadBack Read(const std::string& file) {
    ReadBack back;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(const_cast<char*>(file.data()), file.size(), "rb"), &std::fclose);
    if (file.empty()) {
        stream.reset(std::tmpfile());
    }
    PcapngReader reader(stream.get());
    while (auto packet = reader.Next()) {
        back.packets.push_back(std::move(*packet));
    }
    back.interfaces = reader.Interfaces();
    back.error = reader.Error();
    return back;
}

std::variant<ReplayPlan, std::string> Plan(const std::string& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(const_cast<char*>(file.data()), file.size(), "rb"), &std::fclose);
    return ReadReplayPlan(stream.get());
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

constexpr uint64_t kSecond = 1'000'000'000;

TEST(PcapngReader, ReadsTheAnalysersOwnExportBackFrameForFrame) {
    const auto dir = MakeTempDir();
    CaptureRecord record;
    const uint64_t t = 1'700'000'000 * kSecond + 123'456'789;
    record.OnFrame({Bytes("\x03\x3F"), false, 0, t});
    record.OnFrame({Bytes("\x01\x73"), true, 0, t + 28'000});
    record.OnFrame({Bytes("bad"), false, QORVAL_CRC_ERROR, t + 56'001});
    ASSERT_TRUE(record.WritePcapng(dir / "c.pcapng", "Wyvel32 port 2"));
    const ReadBack back = Read(ReadFile(dir / "c.pcapng"));
    EXPECT_EQ(back.error, "");
    ASSERT_EQ(back.interfaces.size(), 1u);
    EXPECT_EQ(back.interfaces[0].linkType, 268);
    EXPECT_EQ(back.interfaces[0].name, "Wyvel32 port 2");
    ASSERT_EQ(back.packets.size(), 3u);
    EXPECT_EQ(Text(back.packets[0].bytes), "\x03\x3F");
    EXPECT_EQ(back.packets[0].timeNs, t);
    EXPECT_EQ(back.packets[0].direction, PacketDirection::Inbound);
    EXPECT_EQ(back.packets[1].direction, PacketDirection::Outbound);
    EXPECT_EQ(back.packets[2].timeNs, t + 56'001);
    EXPECT_EQ(back.packets[2].flags, 1u | (1u << 24));
    std::filesystem::remove_all(dir);
}

// As other analysers write them: big-endian, microseconds by default, a time offset, binary
// fractions, simple and obsolete packet blocks, blocks that carry no packet.
TEST(PcapngReader, ReadsEitherByteOrderAnyResolutionAndEveryPacketBlock) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        PcapngBuilder file(big);
        file.Section()
            .Interface(268, {{2, "wyvel32-2"}})                       // microseconds
            .Interface(268, {{9, std::string(1, '\x8A')}, {14, file.U64(10)}})  // 2^-10 s, +10 s
            .Block(5, std::string(8, '\0'))                            // statistics: skipped
            .Enhanced(0, 1'500'000, "one")
            .Enhanced(1, 512, "two", 0)                                // half a second
            .Simple("three")
            .Obsolete(0, 2'000'000, "four");
        const ReadBack back = Read(file.bytes);
        EXPECT_EQ(back.error, "");
        ASSERT_EQ(back.packets.size(), 4u);
        EXPECT_EQ(back.interfaces[0].name, "wyvel32-2");
        EXPECT_EQ(back.packets[0].timeNs, 1'500'000'000u);
        EXPECT_EQ(Text(back.packets[1].bytes), "two");
        EXPECT_EQ(back.packets[1].timeNs, 10 * kSecond + kSecond / 2);
        EXPECT_EQ(back.packets[1].direction, PacketDirection::Unknown);
        EXPECT_EQ(Text(back.packets[2].bytes), "three");
        EXPECT_FALSE(back.packets[2].hasTime);
        EXPECT_EQ(Text(back.packets[3].bytes), "four");
        EXPECT_EQ(back.packets[3].timeNs, 2 * kSecond);
    }
}

TEST(PcapngReader, ADamagedFileEndsTheReadingWithWhatBrokeAndWhere) {
    const auto good = [] { return PcapngBuilder().Section().Interface(268); };
    const std::string section = PcapngBuilder().Section().bytes;
    const std::string prefix = good().bytes;  // a section and one interface
    std::string wrongClose = good().Enhanced(0, 1, "x").bytes;
    wrongClose[wrongClose.size() - 4] ^= 4;
    std::string longCaptured = good().Enhanced(0, 1, "abcd").bytes;
    longCaptured[prefix.size() + 8 + 12] = static_cast<char>(200);  // captured length
    const std::string optionPastEnd("\x0c\x01\x00\x00\x00\x00\x00\x00"  // link type 268
                                    "\x02\x00\x40\x00xx\x00\x00",         // a name of 64 bytes
                                    16);
    const std::pair<std::string, const char*> cases[] = {
        {std::string("\x01\x00\x00\x00\x0c\x00\x00\x00\x0c\x00\x00\x00", 12),
         "it does not start with a section header"},
        {section.substr(0, 8) + "XXXX" + section.substr(12), "without the byte-order magic"},
        {PcapngBuilder().Section(2).bytes, "pcapng version 2 is not known"},
        {prefix + std::string("\x06\x00\x00\x00\x0e\x00\x00\x00", 8),
         "with a length of 14 bytes"},
        {prefix + std::string("\x06\x00\x00\x00\x00\x00\x00\x7f", 8),
         "a length of 2130706432 bytes"},
        {wrongClose, "closing length differs"},
        {good().Enhanced(0, 1, "abc").bytes.substr(0, prefix.size() + 20),
         "the file ends inside a block"},
        {good().Enhanced(1, 1, "x").bytes, "a packet of interface 1, which the section"},
        {longCaptured, "a packet of 200 bytes in a block too short for it"},
        {section + PcapngBuilder().Block(1, optionPastEnd).bytes, "options run past its end"},
        {good().Interface(268, {{9, std::string(1, '\xC0')}}).bytes,
         "unusable time resolution"},
        {good().Interface(268, {{14, std::string(8, '\x7f')}}).Enhanced(1, 1, "x").bytes,
         "a packet time outside the range"},
        {good().Block(6, std::string(16, '\0')).bytes, "too short for its fields"},
    };
    for (const auto& [file, text] : cases) {
        const ReadBack back = Read(file);
        EXPECT_NE(back.error.find(text), std::string::npos) << text << ": " << back.error;
        EXPECT_NE(back.error.find("(block at byte "), std::string::npos) << back.error;
    }
    EXPECT_EQ(Read("").error, "");  // an empty file is read to its end
}

TEST(ReplayPlan, TakesTheFramesThatArrivedOnAnSdlcLinkEachDueAfterTheFirst) {
    PcapngBuilder file;
    file.Section()
        .Interface(268, {{9, std::string(1, '\x09')}})  // nanoseconds
        .Interface(1)                                   // another link type
        .Enhanced(0, 5 * kSecond, "A")
        .Enhanced(0, 5 * kSecond + 100, "sent", 2)
        .Enhanced(1, 5 * kSecond + 200, "ethernet")
        .Enhanced(0, 5 * kSecond + 3000, "B", 0)   // direction not given: replayed
        .Enhanced(0, 5 * kSecond + 1000, "C")      // earlier than B: kept behind it
        .Enhanced(0, 5 * kSecond + 9000, "cut", 1, 90)
        .Enhanced(0, 5 * kSecond + 9000, "")
        .Simple("D");                              // no time: with the one before
    auto plan = Plan(file.bytes);
    ASSERT_TRUE(std::holds_alternative<ReplayPlan>(plan)) << std::get<std::string>(plan);
    const ReplayPlan& p = std::get<ReplayPlan>(plan);
    ASSERT_EQ(p.frames.size(), 4u);
    const std::pair<const char*, uint64_t> expected[] = {{"A", 0}, {"B", 3000}, {"C", 3000}, {"D", 3000}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Text(p.frames[i].bytes), expected[i].first);
        EXPECT_EQ(p.frames[i].dueNs, expected[i].second) << i;
    }
    EXPECT_EQ(p.skippedSent, 1u);
    EXPECT_EQ(p.skippedOtherLinks, 1u);
    EXPECT_EQ(p.skippedUnusable, 2u);

    const auto nothing = Plan(PcapngBuilder().Section().Interface(268).Enhanced(0, 1, "x", 2).bytes);
    ASSERT_TRUE(std::holds_alternative<std::string>(nothing));
    EXPECT_NE(std::get<std::string>(nothing).find("no frame that arrived"), std::string::npos);
    EXPECT_EQ(std::get<std::string>(LoadReplayPlan("/nonexistent/c.pcapng")),
              "it cannot be opened");
}

// The session against the fake library, on its virtual clock.
class ReplaySessionTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        OpenPort();
    }
    static uint64_t Now() { return uint64_t{Fake().NowMs()} * 1'000'000; }
    static ReplayPlan ThreeFrames() {
        ReplayPlan plan;
        plan.frames = {{Bytes("A"), 0}, {Bytes("B"), 20'000'000}, {Bytes("C"), 25'000'000}};
        return plan;
    }
    std::vector<std::pair<std::string, uint32_t>> SentWithTimes() {
        std::vector<std::pair<std::string, uint32_t>> sent;
        for (auto& frame : Fake().TakeSentFrames(kDriver, 1)) {
            sent.emplace_back(Text(frame.bytes), frame.at_ms);
        }
        return sent;
    }
};

TEST_F(ReplaySessionTest, OriginalTimingSendsEachFrameWhenItIsDue) {
    Fake().AdvanceMs(100);
    ReplaySession session(app_->PortHandle(), ThreeFrames(), ReplayTiming::Original, Now);
    auto step = session.Run();
    EXPECT_FALSE(step.finished);
    EXPECT_EQ(step.nextNs, Now() + 20'000'000);
    Fake().AdvanceMs(19);
    EXPECT_EQ(session.Run().nextNs, Now() + 1'000'000);  // not yet
    Fake().AdvanceMs(3);  // 2 ms late
    step = session.Run();
    EXPECT_EQ(step.nextNs, Now() + 3'000'000);
    Fake().AdvanceMs(3);
    step = session.Run();
    EXPECT_TRUE(step.finished);
    EXPECT_EQ(step.failure, 0u);
    EXPECT_EQ(session.Sent(), 3u);
    EXPECT_EQ(session.LargestLatenessNs(), 2'000'000u);
    EXPECT_EQ(SentWithTimes(),
              (std::vector<std::pair<std::string, uint32_t>>{{"A", 100}, {"B", 122}, {"C", 125}}));
}

TEST_F(ReplaySessionTest, LineTimingSendsAsFastAsTheTransmitBuffersTakeTheFrames) {
    ReplaySession session(app_->PortHandle(), ThreeFrames(), ReplayTiming::Line, Now);
    Fake().SetTxBuffersFree(kDriver, 1, 0);  // the line has not taken the frames ahead
    auto step = session.Run();
    EXPECT_FALSE(step.finished);
    EXPECT_EQ(step.nextNs, Now() + ReplaySession::kBufferPollNs);
    EXPECT_EQ(session.Sent(), 0u);
    Fake().SetTxBuffersFree(kDriver, 1, std::nullopt);
    step = session.Run();
    EXPECT_TRUE(step.finished);
    EXPECT_EQ(SentWithTimes(),
              (std::vector<std::pair<std::string, uint32_t>>{{"A", 0}, {"B", 0}, {"C", 0}}));
    EXPECT_EQ(session.LargestLatenessNs(), 0u);
}

class ReplayCommandTest : public EngineTest {
  protected:
    std::string CaptureFile() {
        CaptureRecord record;
        record.OnFrame({Bytes("one"), false, 0, 7 * kSecond});
        record.OnFrame({Bytes("two"), false, 0, 7 * kSecond + 4'000'000});
        const auto path = dir_ / "c.pcapng";
        EXPECT_TRUE(record.WritePcapng(path, "Wyvel32 port 2"));
        return path.string();
    }
};

TEST_F(ReplayCommandTest, ReplaysOntoTheSelectedPortAndSaysHowItWent) {
    const std::string path = CaptureFile();
    EXPECT_FALSE(app_->StartReplay(path, ReplayTiming::Original));  // no port yet
    EXPECT_EQ(ui_.LastMessage(), "Driver and Port have not been selected!\nExecute \"Select "
                                 "Driver/Port\" command and\ntry this command again!");
    OpenPort();
    app_->SetReplayClock([] { return uint64_t{Fake().NowMs()} * 1'000'000; });
    EXPECT_FALSE(app_->StartReplay((dir_ / "none.pcapng").string(), ReplayTiming::Original));
    EXPECT_EQ(ui_.LastMessage(), "Cannot replay " + (dir_ / "none.pcapng").string() +
                                     ":\nit cannot be opened.");
    ASSERT_TRUE(app_->StartReplay(path, ReplayTiming::Original));
    EXPECT_EQ(ui_.LastStatus(), "Replaying 2 frames from " + path + ".");
    auto next = app_->ReplayStep();
    ASSERT_TRUE(next.has_value());
    Fake().AdvanceMs(5);
    EXPECT_FALSE(app_->ReplayStep().has_value());
    EXPECT_EQ(ui_.LastStatus(), "Replay finished: 2 frames sent, the latest 1.000 ms after its time.");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"one", "two"}));
    EXPECT_FALSE(app_->Replaying());
    EXPECT_FALSE(app_->ReplayFailed());

    // Selecting the port again stops a replay that is under way.
    ASSERT_TRUE(app_->StartReplay(path, ReplayTiming::Original));
    (void)app_->ReplayStep();
    ASSERT_TRUE(app_->SelectDriverPort());
    EXPECT_FALSE(app_->Replaying());
    EXPECT_EQ(ui_.LastStatus().rfind("Replay stopped after 1 of 2 frames.", 0), 0u)
        << ui_.LastStatus();
}

TEST_F(ReplayCommandTest, AWriteThatFailsStopsTheReplayWithItsStatus) {
    OpenPort();
    ASSERT_TRUE(app_->StartReplay(CaptureFile(), ReplayTiming::Line));
    Fake().FailNext("QORVAL_PutData", QORVAL_INVALID_HANDLE);
    EXPECT_FALSE(app_->ReplayStep().has_value());
    EXPECT_TRUE(app_->ReplayFailed());
    EXPECT_EQ(ui_.LastMessage(), "Could not send frame 1 of the capture!\nStatus = 00000012");
    EXPECT_EQ(ui_.LastStatus(), "Replay stopped after 0 of 2 frames.");
}

TEST_F(ReplayCommandTest, FromTheShellWithItsArgumentsAndExitStatus) {
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--replay", "f", "--capture"}, "--capture and --replay do not go together"},
        {{"--replay", "f", "--pcap", "p"}, "--replay takes only --port and --timing"},
        {{"--capture", "--timing", "line"}, "--timing goes with --replay"},
        {{"--replay", "f", "--timing", "fast"}, "invalid timing fast"},
        {{"--replay"}, "--replay needs a value"},
    };
    for (const auto& [args, text] : refused) {
        const auto parsed = ParseHeadlessArguments(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_NE(std::get<std::string>(parsed).find(text), std::string::npos) << text;
    }
    const auto parsed =
        ParseHeadlessArguments({"--replay", CaptureFile(), "--port", "1", "--timing", "original"});
    ASSERT_TRUE(std::holds_alternative<HeadlessOptions>(parsed));
    std::atomic<bool> stop{false};
    std::vector<uint64_t> rests;
    const HeadlessEnvironment environment{
        dir_ / "lombex32.ini", &stop, {}, [] { return uint64_t{Fake().NowMs()} * 1'000'000; },
        [&](uint64_t untilNs) {
            rests.push_back(untilNs);
            Fake().AdvanceMs(static_cast<uint32_t>(untilNs / 1'000'000 - Fake().NowMs()));
        }};
    std::ostringstream out, err;
    EXPECT_EQ(RunHeadless(std::get<HeadlessOptions>(parsed), environment, out, err), 0);
    EXPECT_EQ(out.str(), "Replay finished: 2 frames sent.\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(rests, std::vector<uint64_t>{4'000'000});
    EXPECT_EQ(Sent(), (std::vector<std::string>{"one", "two"}));

    const auto missing = ParseHeadlessArguments({"--replay", (dir_ / "x.pcapng").string()});
    std::ostringstream out2, err2;
    EXPECT_EQ(RunHeadless(std::get<HeadlessOptions>(missing), environment, out2, err2), 1);
    EXPECT_NE(err2.str().find("it cannot be opened."), std::string::npos) << err2.str();
}

// A FIFO named as the capture to replay or to decode is refused without being opened: the run
// ends at once with its message instead of waiting in the open for a writer.
TEST_F(ReplayCommandTest, AFifoAsTheCaptureFileEndsTheRunAtOnce) {
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const platform::testing::FifoWatchdog watchdog(fifo);
    std::atomic<bool> stop{false};
    const HeadlessEnvironment environment{dir_ / "lombex32.ini", &stop, {}};
    std::ostringstream out, err;
    EXPECT_EQ(RunHeadless(std::get<HeadlessOptions>(ParseHeadlessArguments({"--replay", fifo})),
                          environment, out, err),
              1);
    EXPECT_EQ(err.str(), "Cannot replay " + fifo + ":\nit cannot be opened.\n");

    err.str("");
    SavedCaptureOptions decode;
    decode.file = fifo;
    EXPECT_EQ(RunSavedCapture(decode, dir_ / "lombex32.ini", out, err), 1);
    EXPECT_EQ(err.str(), "lombex32: could not open the capture file " + fifo + "\n");
    EXPECT_FALSE(watchdog.Fired());
}

}  // namespace
}  // namespace qorval::analyser::testing
