#include "host/protocol/control_protocol.h"

#include <gtest/gtest.h>

namespace qorval::protocol {
namespace {

TEST(ControlProtocol, SocketNamesFollowTheLinkNames) {
    EXPECT_EQ(DeviceSocketName(1), "Wyvel32_001");
    EXPECT_EQ(DeviceSocketName(10), "Wyvel32_0010");
}

TEST(ControlProtocol, PortListRoundTrip) {
    std::vector<PortListing> ports{{1, "started", "Wyvel32_001"}, {3, "stopped", "Wyvel32_003"}};
    std::vector<PortListing> parsed;
    ASSERT_EQ(ParsePortList(FormatPortList(ports), parsed), "");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].number, 3u);
    EXPECT_FALSE(parsed[1].started());
    EXPECT_TRUE(parsed[0].started());
}

TEST(ControlProtocol, BadListsAreRefused) {
    std::vector<PortListing> parsed;
    EXPECT_EQ(ParsePortList("error: host stopping\n", parsed), "error: host stopping");
    EXPECT_NE(ParsePortList("", parsed), "");
    EXPECT_NE(ParsePortList("ok\nport 0 started Wyvel32_000\n", parsed), "");
    EXPECT_NE(ParsePortList("ok\nport 33 started x\n", parsed), "");
    EXPECT_NE(ParsePortList("ok\nport 1x started x\n", parsed), "");
    EXPECT_NE(ParsePortList("ok\nport 1 started\n", parsed), "");
    EXPECT_NE(ParsePortList("ok\nport 1 started " + std::string(100, 'x') + "\n", parsed), "");
    EXPECT_EQ(ParsePortList("ok\n\nport 2 started Wyvel32_002\n", parsed), "");
    EXPECT_EQ(parsed.size(), 1u);
}

}  // namespace
}  // namespace qorval::protocol
