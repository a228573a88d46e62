// The extcap program's side of the packet analyser's conversation (extcap(4)), against the
// fake port access library: what it is asked, what it lists, and a capture into the analyser's
// FIFO that ends when the analyser stops it or goes away.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "analyser/extcap/extcap_capture.h"
#include "analyser/extcap/extcap_request.h"
#include "analyser/pcapng_reader.h"
#include "portaccess/fake/fake_library.h"

namespace qorval::analyser {
namespace {

using fake::FakeLibrary;

TEST(ExtcapArguments, TakesTheFourRequestsInEitherOptionForm) {
    const auto ask = [](std::vector<std::string> args) {
        auto parsed = ParseExtcapArguments(args);
        EXPECT_TRUE(std::holds_alternative<ExtcapRequest>(parsed))
            << std::get<std::string>(parsed);
        return std::get<ExtcapRequest>(parsed);
    };
    EXPECT_EQ(ask({"--extcap-interfaces", "--extcap-version=4.0"}).action,
              ExtcapRequest::Action::Interfaces);
    const auto dlts = ask({"--extcap-interface", "wyvel32-2", "--extcap-dlts"});
    EXPECT_EQ(dlts.action, ExtcapRequest::Action::Dlts);
    EXPECT_EQ(dlts.port, 2);
    EXPECT_EQ(ask({"--extcap-config", "--extcap-interface=wyvel32-32"}).port, 32);
    const auto capture = ask({"--capture", "--extcap-interface=wyvel32-1", "--fifo", "/tmp/f",
                              "--extcap-control-in", "/tmp/in", "--debug"});
    EXPECT_EQ(capture.action, ExtcapRequest::Action::Capture);
    EXPECT_EQ(capture.port, 1);
    EXPECT_EQ(capture.fifo, "/tmp/f");
}

TEST(ExtcapArguments, RefusesWhatItCannotServe) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "nothing asked"},
        {{"--extcap-interfaces", "--capture"}, "more than one of"},
        {{"--extcap-dlts", "--extcap-interface", "eth0"}, "no such interface: 'eth0'"},
        {{"--extcap-dlts", "--extcap-interface", "wyvel32-0"}, "no such interface"},
        {{"--extcap-dlts", "--extcap-interface", "wyvel32-33"}, "no such interface"},
        {{"--extcap-dlts", "--extcap-interface", "wyvel32-01"}, "no such interface"},
        {{"--extcap-dlts", "--extcap-interface", "wyvel32-1x"}, "no such interface"},
        {{"--extcap-dlts"}, "no such interface: ''"},
        {{"--capture", "--extcap-interface=wyvel32-1"}, "--capture needs --fifo"},
        {{"--capture", "--extcap-interface=wyvel32-1", "--fifo=/f", "--extcap-capture-filter",
          "port 80"},
         "capture filters are not supported"},
        {{"--capture", "--fifo"}, "--fifo needs a value"},
        {{"--extcap-interfaces", "--bogus"}, "unknown argument --bogus"},
    };
    for (const auto& [args, text] : cases) {
        const auto parsed = ParseExtcapArguments(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_NE(std::get<std::string>(parsed).find(text), std::string::npos)
            << text << ": " << std::get<std::string>(parsed);
    }
}

TEST(ExtcapListing, OneInterfacePerStartedPortWithTheExportsLinkType) {
    FakeLibrary::Instance().Reset();
    EXPECT_EQ(InterfaceListing(nullptr), "extcap {version=1.0.0}\n");
    for (const uint16_t port : {1, 3}) {
        fake::FakePortSpec entry;
        entry.port = port;
        FakeLibrary::Instance().AddPort(entry);
    }
    SystemInfo info{};
    ASSERT_EQ(QORVAL_GetSystemInfo(&info), 0u);
    EXPECT_EQ(InterfaceListing(&info),
              "extcap {version=1.0.0}\n"
              "interface {value=wyvel32-1}{display=Wyvel32 port 1}\n"
              "interface {value=wyvel32-3}{display=Wyvel32 port 3}\n");
    EXPECT_EQ(DltListing(), "dlt {number=268}{name=SDLC}{display=SDLC frames}\n");
    EXPECT_EQ(PortOfInterface(InterfaceName(17)), 17);
}

class ExtcapCaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::signal(SIGPIPE, SIG_IGN);
        Fake().Reset();
        fake::FakePortSpec entry;
        entry.port = 2;
        Fake().AddPort(entry);
        std::string pattern = (std::filesystem::temp_directory_path() / "extcap-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    static FakeLibrary& Fake() { return FakeLibrary::Instance(); }

    // Captures port 2 into `fifo` until the first time nothing waits.
    int CaptureUntilIdle(const std::string& fifo) {
        std::atomic<bool> stop{false};
        const ExtcapCaptureEnvironment environment{
            &stop, [&](bool idle) { stop = stop || idle; }, [] { return uint64_t{1}; }};
        return RunExtcapCapture(2, fifo, environment, err_);
    }

    std::filesystem::path dir_;
    std::ostringstream err_;
};

TEST_F(ExtcapCaptureTest, EveryFrameGoesIntoTheStreamAtItsArrivalTime) {
    Fake().QueueFrame(QORVAL_DRIVER_WYVEL32, 2, {0x01, 0x3F}, 5);
    Fake().QueueFrame(QORVAL_DRIVER_WYVEL32, 2, {0x03, 0x11, 0x42}, 7, QORVAL_CRC_ERROR);
    Fake().AdvanceMs(10);
    const std::string path = (dir_ / "stream").string();
    ASSERT_EQ(CaptureUntilIdle(path), 0) << err_.str();

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    PcapngReader reader(file);
    std::vector<CapturePacket> packets;
    while (auto packet = reader.Next()) {
        packets.push_back(*packet);
    }
    std::fclose(file);
    EXPECT_EQ(reader.Error(), "");
    ASSERT_EQ(reader.Interfaces().size(), 1u);
    EXPECT_EQ(reader.Interfaces()[0].name, "wyvel32-2");
    EXPECT_EQ(reader.Interfaces()[0].linkType, 268);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].bytes, (std::vector<uint8_t>{0x01, 0x3F}));
    EXPECT_EQ(packets[0].timeNs, FakeLibrary::ArrivalNsOf(5));
    EXPECT_EQ(packets[0].direction, PacketDirection::Inbound);
    EXPECT_EQ(packets[1].timeNs, FakeLibrary::ArrivalNsOf(7));
    EXPECT_EQ(packets[1].flags, 1u | (1u << 24));  // inbound, CRC error

    // The port was given back: it opens again.
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &handle), 0u);
    EXPECT_EQ(QORVAL_PortClose(handle), 0u);
}

TEST_F(ExtcapCaptureTest, APortInUseOrAStreamThatCannotBeWrittenIsReported) {
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &handle), 0u);
    EXPECT_EQ(CaptureUntilIdle((dir_ / "stream").string()), 1);
    EXPECT_EQ(err_.str(),
              "lombex32-extcap: cannot open Wyvel32 port 2 (result 9): another program has it "
              "open\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "stream")) << "the port is opened first";
    ASSERT_EQ(QORVAL_PortClose(handle), 0u);

    err_.str("");
    EXPECT_EQ(CaptureUntilIdle((dir_ / "missing" / "stream").string()), 1);
    EXPECT_NE(err_.str().find("cannot write to"), std::string::npos) << err_.str();
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &handle), 0u) << "the port was closed";
    EXPECT_EQ(QORVAL_PortClose(handle), 0u);

    // A FIFO that nobody reads is refused at once, not waited on; a device is never written.
    const auto fifo = dir_ / "unread";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& stream : {fifo.string(), std::string("/dev/null")}) {
        err_.str("");
        EXPECT_EQ(CaptureUntilIdle(stream), 1) << stream;
        EXPECT_NE(err_.str().find("cannot write to " + stream + ": "), std::string::npos)
            << err_.str();
    }
}

TEST_F(ExtcapCaptureTest, TheCaptureEndsWhenTheAnalyserStopsReadingEvenOnAQuietPort) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::atomic<bool> stop{false};
    int rests = 0;
    // Nothing arrives; while the capture rests, the analyser goes away.
    const ExtcapCaptureEnvironment environment{&stop,
                                               [&](bool idle) {
                                                   if (idle && rests++ == 0) {
                                                       ::close(ends[0]);
                                                   }
                                               },
                                               [] { return uint64_t{1}; }};
    EXPECT_EQ(RunExtcapCapture(2, "/proc/self/fd/" + std::to_string(ends[1]), environment, err_), 0);
    EXPECT_EQ(rests, 1);
    EXPECT_FALSE(stop.load());
    EXPECT_EQ(err_.str(), "");
    ::close(ends[1]);
}

TEST_F(ExtcapCaptureTest, APortLostDuringTheCaptureEndsItWithTheReason) {
    Fake().FailNext("QORVAL_GetBufferCount", QORVAL_GENERAL_ERROR);  // the host went away
    EXPECT_EQ(CaptureUntilIdle((dir_ / "stream").string()), 1);
    EXPECT_EQ(err_.str(), "lombex32-extcap: lost Wyvel32 port 2 (result 14)\n");
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &handle), 0u) << "the port was closed";
    EXPECT_EQ(QORVAL_PortClose(handle), 0u);
}

}  // namespace
}  // namespace qorval::analyser
