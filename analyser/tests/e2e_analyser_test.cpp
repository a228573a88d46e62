// Two analysers end to end: engines through the real port access library against a driver
// host in this process, one running a macro against the other, which answers every frame from
// its send file. Both write capture files, read back with tshark when it is installed. And a
// capture put back onto the line by `lombex32 --replay`, arriving with its original spacing.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "analyser/analyser_app.h"
#include "analyser/capture_record.h"
#include "analyser/pcapng_writer.h"
#include "analyser/tests/recording_ui.h"
#include "host/testing/in_process_host.h"
#include "platform/testing/spawned_program.h"

namespace qorval::analyser::testing {
namespace {

using host::testing::InProcessHost;

constexpr char kStopMessage[] = "Macro execution halted via STOP command!";

class AnalyserEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(host_.Error(), ""); }

    std::string Write(const char* name, const char* text) {
        std::ofstream(Path(name)) << text;
        return Path(name);
    }
    std::string Path(const char* name) const { return (host_.Prefix() / name).string(); }

    // tshark's view of a capture file: one line per packet with its length and direction, or
    // nullopt when tshark is not installed.
    std::optional<std::string> Tshark(const std::string& file) {
        if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
            return std::nullopt;
        }
        const std::string out = file + ".txt";
        const std::string command = "tshark -r '" + file +
                                    "' -T fields -e frame.len -e frame.packet_flags_direction > '" +
                                    out + "' 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    InProcessHost host_{host::BusOptions{}};  // a pair at the clock programme's rate
};

// One end: the engine, its user interface and its capture file.
struct End {
    End(uint16_t port, const std::filesystem::path& profile, const std::string& pcapFile)
        : app(ui, profile) {
        ui.choice = PortChoice{QORVAL_DRIVER_WYVEL32, port};
        EXPECT_TRUE(app.Startup() && app.SelectDriverPort());
        EXPECT_TRUE(pcap.Open(pcapFile));
        capture.emplace(pcap, pcap.AddInterface("Wyvel32 port " + std::to_string(port)));
        app.SetFrameObserver(&*capture);
    }
    ~End() {
        app.Shutdown(false);
        pcap.Close();
    }
    RecordingUi ui;
    CAnalyserApp app;
    PcapngWriter pcap;
    std::optional<PcapngCapture> capture;
};

TEST_F(AnalyserEndToEnd, MacroTalksToAFarEndOverTheHostPair) {
    const std::string nearPcap = Path("near.pcapng"), farPcap = Path("far.pcapng");
    {
        End nearEnd(1, host_.Prefix() / "near.ini", nearPcap);
        End farEnd(2, host_.Prefix() / "far.ini", farPcap);

        farEnd.app.SetSendOptions({"", false, Write("far.txt", "ACK1\nACK2\n"), false});
        farEnd.app.ToggleTransmit();
        farEnd.app.ToggleCapture();
        nearEnd.app.SetSendOptions({Write("macro.txt",
                                          "      SEND 1          ; ask\n"
                                          "      GET 1\n"
                                          "      IF 3 49 NEXT    ; '1'\n"
                                          "      GOTO FAIL\n"
                                          "NEXT: SEND 1\n"
                                          "      GET 1\n"
                                          "      IFNE 3 50 FAIL  ; '2'\n"
                                          "      STOP\n"
                                          "FAIL: SEND 1\n"),
                                    true, Write("near.txt", "REQ\n"), false});
        nearEnd.app.ToggleTransmit();
        nearEnd.app.ToggleCapture();

        // The frames cross the line in real time; the bound only guards against a hang.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (nearEnd.app.MacroMode() && std::chrono::steady_clock::now() < deadline) {
            nearEnd.app.PollStep();
            farEnd.app.PollStep();
        }
        EXPECT_EQ(nearEnd.ui.LastMessage(), kStopMessage);
        EXPECT_EQ(std::string(nearEnd.app.RxFrame().begin(), nearEnd.app.RxFrame().end()), "ACK2");
        // Let the far end take anything still on the line: a FAIL branch would send a third.
        for (int i = 0; i < 1000; ++i) {
            farEnd.app.PollStep();
        }
        EXPECT_EQ(farEnd.app.FrameCount(), 2u);
        EXPECT_EQ(farEnd.ui.view.text_, "SENT 0000 ACK2\r\n");
    }

    // Each end saw two frames each way, in order: the direction flags say 1 inbound, 2
    // outbound.
    const auto nearText = Tshark(nearPcap);
    if (!nearText) {
        GTEST_SKIP() << "tshark is not installed (scripts/setup-deps installs it): the capture "
                        "files were written but not read back";
    }
    constexpr char kIn[] = "\t0x00000001\n", kOut[] = "\t0x00000002\n";
    EXPECT_EQ(*nearText, std::string("3") + kOut + "4" + kIn + "3" + kOut + "4" + kIn);
    EXPECT_EQ(Tshark(farPcap).value_or(""),
              std::string("3") + kIn + "4" + kOut + "3" + kIn + "4" + kOut);
}

// A capture onto port 1, captured on port 2: the same frames in order, each as far from the one
// before it as in the capture, give or take how late the replay put each on the line (it says
// so) and the microsecond the times are exact to.
TEST_F(AnalyserEndToEnd, AReplayedCaptureArrivesInOrderWithItsOriginalSpacing) {
    constexpr uint64_t kMs = 1'000'000;
    const uint64_t gapsMs[] = {0, 20, 5, 40, 10, 30};
    CaptureRecord record;
    const std::vector<uint8_t> sentByUs(8, 0xEE);  // in the capture, not to be replayed
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> times;
    uint64_t t = 1'700'000'000'000 * kMs;
    for (size_t i = 0; i < std::size(gapsMs); ++i) {
        t += gapsMs[i] * kMs;
        // One size: a frame's time is its end, and frames of one size take one line time.
        std::vector<uint8_t> frame(24, static_cast<uint8_t>(0x30 + i));
        record.OnFrame({frame, false, 0, t});
        record.OnFrame({sentByUs, true, 0, t + kMs});
        frames.push_back(std::move(frame));
        times.push_back(t);
    }
    const std::string file = Path("link.pcapng");
    ASSERT_TRUE(record.WritePcapng(file, "Wyvel32 port 2"));

    QORVAL_HANDLE two = 0;
    ASSERT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &two), QORVAL_OK);
    qorval::testing::SpawnedProgram replay(
        {LOMBEX32_PROGRAM, "--replay", file, "--port", "1", "--timing", "original"},
        Path("replay.out"), Path("replay.err"));
    ASSERT_TRUE(replay.Started());
    std::vector<std::vector<uint8_t>> got;
    std::vector<uint64_t> arrivals;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<uint8_t> buffer(4096);
    while (got.size() < frames.size() && std::chrono::steady_clock::now() < deadline) {
        uint32_t length = 0;
        uint64_t arrival = 0;
        ASSERT_EQ(QORVAL_GetDataTimed(two, buffer.data(), 4096, &length, &arrival), QORVAL_OK);
        if (length == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        got.emplace_back(buffer.begin(), buffer.begin() + length);
        arrivals.push_back(arrival);
    }
    EXPECT_EQ(replay.Wait(), 0);
    (void)QORVAL_PortClose(two);
    std::ifstream said(Path("replay.out"));
    std::string summary;
    std::getline(said, summary);
    ASSERT_EQ(got, frames) << summary;

    // "Replay finished: 6 frames sent, the latest 0.123 ms after its time."
    double lateMs = 0;
    const size_t at = summary.find("the latest ");
    if (at != std::string::npos) {
        lateMs = std::stod(summary.substr(at + 11));
    } else {
        EXPECT_EQ(summary, "Replay finished: 6 frames sent.");
    }
    const auto bound = static_cast<int64_t>(lateMs * 1e6) + 2'000;  // + the times' microsecond
    for (size_t i = 1; i < frames.size(); ++i) {
        const auto original = static_cast<int64_t>(times[i] - times[i - 1]);
        const auto replayed = static_cast<int64_t>(arrivals[i] - arrivals[i - 1]);
        EXPECT_LE(std::abs(replayed - original), bound)
            << "frame " << i << ": " << replayed << " ns after the one before, not " << original
            << " (" << summary << ")";
    }
}

}  // namespace
}  // namespace qorval::analyser::testing
