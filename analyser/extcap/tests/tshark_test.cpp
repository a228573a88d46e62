// The whole journey of a live capture into a packet analyser: the real driver host, tshark
// finding the ports through the extcap program in its extcap folder, and frames another tool
// (lombex32 --replay) sends from port 1 captured on port 2, compared frame for frame.
//
// tshark reads WIRESHARK_EXTCAP_DIR only when it does not run as root, so every program here
// runs as a user without privileges: as "nobody" when the test runs as root, else as the user
// running it. The host runs as that user too, so its sockets are that user's.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "analyser/capture_record.h"
#include "analyser/pcapng_reader.h"
#include "platform/testing/find_program.h"
#include "platform/testing/spawned_program.h"

namespace qorval::analyser {
namespace {

constexpr uid_t kNobody = 65534;
constexpr auto kBound = std::chrono::seconds(60);  // generous: only so a fault fails

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A program run as the unprivileged user, its output into files.
class Child : public testing::SpawnedProgram {
  public:
    Child(std::vector<std::string> args, const std::vector<std::string>& environment,
          const std::filesystem::path& out, const std::filesystem::path& err)
        : SpawnedProgram(AsUnprivileged(std::move(args)), out, err, environment) {}

  private:
    static std::vector<std::string> AsUnprivileged(std::vector<std::string> args) {
        if (::geteuid() == 0) {
            args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
                                       "--regid=" + std::to_string(kNobody), "--clear-groups"});
        }
        return args;
    }
};

class TsharkCapture : public ::testing::Test {
  protected:
    void SetUp() override {
        tshark_ = testing::FindProgram("tshark");
        if (!tshark_) {
            GTEST_SKIP() << "tshark is not installed (scripts/setup-deps installs it)";
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "extcap-e2e-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        for (const char* sub : {"prefix", "home", "extcap"}) {
            std::filesystem::create_directory(dir_ / sub);
        }
        // tshark runs every program in its extcap folder: this one alone.
        std::filesystem::create_symlink(EXTCAP_PROGRAM, dir_ / "extcap" / "lombex32-extcap");
        if (::geteuid() == 0) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
                ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
            }
            ASSERT_EQ(::chown(dir_.c_str(), kNobody, kNobody), 0);
        }
        environment_ = {"PATH=/usr/bin:/bin", "HOME=" + (dir_ / "home").string(),
                        "QORVAL_PREFIX=" + (dir_ / "prefix").string(),
                        "WIRESHARK_EXTCAP_DIR=" + (dir_ / "extcap").string()};
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {
                environment_.push_back(std::string(name) + "=" + value);
            }
        }
        host_ = std::make_unique<Child>(
            std::vector<std::string>{WYVEL32_PROGRAM, "run", "--ports", "2", "--wire", "pair",
                                     "--rate", "unlimited"},
            environment_, dir_ / "host.out", dir_ / "host.err");
        ASSERT_TRUE(host_->Started());
        ASSERT_TRUE(WaitFor([&] { return ReadText(dir_ / "host.out").find("running") != std::string::npos; }))
            << ReadText(dir_ / "host.out") << ReadText(dir_ / "host.err");
    }
    void TearDown() override {
        if (host_) {
            host_->Signal(SIGTERM);
            EXPECT_EQ(host_->Wait(), 0) << ReadText(dir_ / "host.err");
            host_.reset();
        }
        if (!dir_.empty()) {
            std::filesystem::remove_all(dir_);
        }
    }
    // Runs a program to its end as the unprivileged user: its status and standard output.
    std::pair<int, std::string> Run(std::vector<std::string> args) {
        Child child(std::move(args), environment_, dir_ / "run.out", dir_ / "run.err");
        const int status = child.Wait();
        return {status, ReadText(dir_ / "run.out") + ReadText(dir_ / "run.err")};
    }

    std::optional<std::string> tshark_;
    std::filesystem::path dir_;
    std::vector<std::string> environment_;
    std::unique_ptr<Child> host_;
};

TEST_F(TsharkCapture, ListsThePortsAndCapturesTheFramesAnotherToolSends) {
    const auto [listed, interfaces] = Run({*tshark_, "-D"});
    EXPECT_EQ(listed, 0) << interfaces;
    EXPECT_NE(interfaces.find("wyvel32-1 (Wyvel32 port 1)"), std::string::npos) << interfaces;
    EXPECT_NE(interfaces.find("wyvel32-2 (Wyvel32 port 2)"), std::string::npos) << interfaces;

    // Frames of every size class, sent from port 1 by the replay of a capture file.
    CaptureRecord record;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < 12; ++i) {
        std::vector<uint8_t> frame(1 + i * 83 % 1000);
        for (size_t b = 0; b < frame.size(); ++b) {
            frame[b] = static_cast<uint8_t>(i * 31 + b * 7);
        }
        record.OnFrame({frame, false, 0, 1'000'000 * i});
        frames.push_back(std::move(frame));
    }
    const auto sendFile = dir_ / "frames.pcapng";
    ASSERT_TRUE(record.WritePcapng(sendFile, "frames"));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(sendFile.c_str(), kNobody, kNobody), 0);
    }

    const auto captured = dir_ / "captured.pcapng";
    Child tshark({*tshark_, "-i", "wyvel32-2", "-c", std::to_string(frames.size()), "-w",
                  captured.string()},
                 environment_, dir_ / "tshark.out", dir_ / "tshark.err");
    ASSERT_TRUE(tshark.Started());
    // tshark says "Capturing on" at once, and "Capture started." once the capture process has
    // read the stream's header, which the extcap program writes only after it opened the port:
    // from then on every frame reaching port 2 is captured.
    ASSERT_TRUE(WaitFor([&] {
        return ReadText(dir_ / "tshark.err").find("Capture started.") != std::string::npos;
    })) << ReadText(dir_ / "tshark.err");

    const auto [replayed, said] =
        Run({LOMBEX32_PROGRAM, "--replay", sendFile.string(), "--port", "1", "--timing", "line"});
    EXPECT_EQ(replayed, 0) << said;
    EXPECT_NE(said.find("Replay finished: 12 frames sent."), std::string::npos) << said;
    ASSERT_EQ(tshark.Wait(), 0) << ReadText(dir_ / "tshark.err");

    std::FILE* file = std::fopen(captured.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    PcapngReader reader(file);
    std::vector<CapturePacket> packets;
    while (auto packet = reader.Next()) {
        packets.push_back(std::move(*packet));
    }
    std::fclose(file);
    EXPECT_EQ(reader.Error(), "");
    ASSERT_EQ(packets.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(packets[i].bytes, frames[i]) << "frame " << i;
        EXPECT_EQ(reader.Interfaces()[packets[i].interfaceId].linkType, 268);
        if (i > 0) {
            EXPECT_GE(packets[i].timeNs, packets[i - 1].timeNs) << "frame " << i;
        }
    }
}

}  // namespace
}  // namespace qorval::analyser
