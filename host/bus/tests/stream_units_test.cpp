// Cutting a byte stream into frames, and the addresses a byte-stream wiring listens on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/bus/stream_address.h"
#include "host/bus/stream_framer.h"
#include "host/bus/stream_policy.h"
#include "host/bus/stream_token.h"

namespace qorval::host {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> Texts(const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<std::string> texts;
    for (const auto& frame : frames) {
        texts.emplace_back(frame.begin(), frame.end());
    }
    return texts;
}

TEST(StreamFramer, CutsAtTheLargestFrameAcrossFeedsAndFlushesTheRest) {
    struct Case {
        size_t largest;
        std::vector<std::string> feeds;
        std::vector<std::string> before_flush;
        std::vector<std::string> after_flush;
    } cases[] = {
        {4, {"abcdefghij"}, {"abcd", "efgh"}, {"ij"}},
        {4, {"ab", "cd", "e"}, {"abcd"}, {"e"}},
        {4, {"abcd"}, {"abcd"}, {}},  // an exact fit leaves nothing to flush
        {1, {"xyz"}, {"x", "y", "z"}, {}},
        {0, {"pq"}, {"p", "q"}, {}},  // a size of 0 is taken as 1, never a frame of nothing
        {8, {}, {}, {}},              // nothing held: a flush makes no empty frame
    };
    for (const Case& c : cases) {
        StreamFramer framer(c.largest);
        std::vector<std::vector<uint8_t>> frames;
        for (const auto& feed : c.feeds) {
            framer.Feed(Bytes(feed), &frames);
        }
        EXPECT_EQ(Texts(frames), c.before_flush) << c.largest;
        frames.clear();
        framer.Flush(&frames);
        EXPECT_EQ(Texts(frames), c.after_flush) << c.largest;
        EXPECT_FALSE(framer.Holding());
    }
}

TEST(StreamAddress, ParsesUnixAndTcpFormsAndRefusesTheRest) {
    struct Case {
        const char* text;
        bool ok;
        StreamAddress::Kind kind;
        const char* formatted;
    } cases[] = {
        {"unix:/tmp/port1", true, StreamAddress::Kind::Unix, "unix:/tmp/port1"},
        {"tcp:4000", true, StreamAddress::Kind::Tcp, "tcp:127.0.0.1:4000"},
        {"tcp:0.0.0.0:23", true, StreamAddress::Kind::Tcp, "tcp:0.0.0.0:23"},
        {"tcp:0", true, StreamAddress::Kind::Tcp, "tcp:127.0.0.1:0"},
        {"tcp:65536", false, {}, ""},
        {"tcp:-1", false, {}, ""},
        {"tcp:", false, {}, ""},
        {"tcp:12ab", false, {}, ""},
        {"tcp:localhost:80", false, {}, ""},
        {"tcp:1.2.3:80", false, {}, ""},
        {"unix:", false, {}, ""},
        {"/tmp/x", false, {}, ""},
        {"", false, {}, ""},
    };
    for (const Case& c : cases) {
        StreamAddress address;
        const std::string problem = ParseStreamAddress(c.text, &address);
        EXPECT_EQ(problem.empty(), c.ok) << c.text << ": " << problem;
        if (c.ok) {
            EXPECT_EQ(address.kind, c.kind) << c.text;
            EXPECT_EQ(FormatStreamAddress(address), c.formatted);
        }
    }
}

TEST(StreamAddress, AUnixPathTooLongForASocketIsRefused) {
    StreamAddress address;
    ASSERT_TRUE(ParseStreamAddress("unix:/tmp/" + std::string(200, 'x'), &address).empty());
    std::string error;
    EXPECT_EQ(ListenOn(&address, &error).fd, -1);
    EXPECT_NE(error.find("too long"), std::string::npos);
}

class StreamPolicyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qorval-policy-XXXXXX";
        root_ = ::mkdtemp(pattern);
        for (const char* folder : {"prefix/run/sub", "shared/sub", "outside"}) {
            std::filesystem::create_directories(root_ / folder);
        }
        std::filesystem::create_directory_symlink(root_ / "outside", root_ / "prefix" / "link");
        policy_.prefix = root_ / "prefix";
        policy_.run_dir = root_ / "prefix" / "run";
        policy_.folders = {root_ / "shared"};
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    // The path the policy allows for `text` (made absolute), or "refused: <why>".
    std::string Check(const std::string& text) {
        StreamAddress address;
        EXPECT_EQ(ParseStreamAddress(text, &address), "") << text;
        const std::string why = CheckStreamAddress(policy_, &address);
        return why.empty() ? FormatStreamAddress(address) : "refused: " + why;
    }
    std::filesystem::path root_;
    StreamPolicy policy_;
};

TEST_F(StreamPolicyTest, UnixSocketsOnlyInThePrefixOrANamedFolderAndTcpOnLoopback) {
    const std::string r = root_.string();
    const std::string outside_prefix =
        " is neither inside the prefix nor a folder given with --stream-dir";
    const std::pair<std::string, std::string> cases[] = {
        {"unix:s1", "unix:" + r + "/prefix/run/s1"},
        {"unix:sub/s1", "unix:" + r + "/prefix/run/sub/s1"},
        {"unix:" + r + "/prefix/s1", "unix:" + r + "/prefix/s1"},
        {"unix:" + r + "/shared/s1", "unix:" + r + "/shared/s1"},
        {"unix:" + r + "/shared/sub/s1", "refused: unix: " + r + "/shared/sub" + outside_prefix},
        {"unix:" + r + "/outside/s1", "refused: unix: " + r + "/outside" + outside_prefix},
        {"unix:" + r + "/prefix/link/s1", "refused: unix: " + r + "/prefix/link" + outside_prefix},
        {"unix:" + r + "/prefix/../outside/s1",
         "refused: unix: " + r + "/prefix/../outside" + outside_prefix},
        {"unix:" + r + "/prefix/missing/s1",
         "refused: unix: no such folder: " + r + "/prefix/missing"},
        {"unix:" + r + "/prefix/run/..", "refused: unix: the path must end in a socket name"},
        {"tcp:4000", "tcp:127.0.0.1:4000"},
        {"tcp:127.1.2.3:0", "tcp:127.1.2.3:0"},
        {"tcp:0.0.0.0:4000",
         "refused: tcp: 0.0.0.0 is not a loopback address; the host listens beyond this machine "
         "only when started with --stream-remote"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Check(text), expected) << text;
    }
    policy_.remote_tcp = true;
    EXPECT_EQ(Check("tcp:192.0.2.7:4000"), "tcp:192.0.2.7:4000");
}

TEST(StreamToken, MadeOnceForTheOwnerAloneAndTrustedOnlySo) {
    char pattern[] = "/tmp/qorval-token-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    const auto file = dir / std::string(kStreamTokenFileName);
    std::string error;
    const std::string token = LoadOrCreateStreamToken(file, &error);
    ASSERT_EQ(token.size(), kStreamTokenDigits) << error;
    EXPECT_EQ(std::filesystem::status(file).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(LoadOrCreateStreamToken(file, &error), token);
    EXPECT_TRUE(TokenMatches(token, token));
    EXPECT_FALSE(TokenMatches(token.substr(1), token));
    EXPECT_FALSE(TokenMatches(std::string(kStreamTokenDigits, '0'), token));

    // Readable by others, or not a token: refused, not used.
    std::filesystem::permissions(file, std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(LoadOrCreateStreamToken(file, &error), "");
    EXPECT_NE(error.find("of the host's user alone"), std::string::npos) << error;
    std::filesystem::remove(file);
    { std::ofstream(file) << "not-a-token\n"; }
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(LoadOrCreateStreamToken(file, &error), "");
    EXPECT_NE(error.find("not a stream token"), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qorval::host
