// Cutting a byte stream into frames, and the addresses a byte-stream wiring listens on.

#include <gtest/gtest.h>

#include <string>

#include "host/bus/stream_address.h"
#include "host/bus/stream_framer.h"

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
    EXPECT_EQ(ListenOn(&address, &error), -1);
    EXPECT_NE(error.find("too long"), std::string::npos);
}

}  // namespace
}  // namespace qorval::host
