// What the window relies on from the engine: the recent-file list in the profile, the record
// of a capture that File > Export Capture... writes, and the driver host hint.
#include <gtest/gtest.h>

#include <cstring>

#include "analyser/capture_record.h"
#include "analyser/recent_files.h"
#include "analyser/tests/engine_fixture.h"
#include "platform/profile.h"

namespace qorval::analyser::testing {
namespace {

TEST(RecentFileList, KeepsFourNewestFirstWithoutRepeatsAndSurvivesTheProfile) {
    const auto dir = MakeTempDir();
    platform::ProfileFile profile(dir / "lombex32.ini");
    RecentFileList list;
    for (const char* path : {"/a", "/b", "/c", "/d", "/e", "/c"}) {
        list.Add(path);
    }
    EXPECT_EQ(list.Paths(), (std::vector<std::string>{"/c", "/e", "/d", "/b"}));
    list.Save(profile);
    EXPECT_EQ(profile.GetString("Recent File List", "File1", ""), "/c");
    EXPECT_EQ(profile.GetString("Recent File List", "File4", ""), "/b");

    RecentFileList loaded;
    loaded.Load(profile);
    EXPECT_EQ(loaded.Paths(), list.Paths());

    // A shorter list removes the keys it no longer fills.
    loaded.Remove("/e");
    loaded.Remove("/d");
    loaded.Save(profile);
    EXPECT_FALSE(profile.HasKey("Recent File List", "File3"));
    EXPECT_FALSE(profile.HasKey("Recent File List", "File4"));
    std::filesystem::remove_all(dir);
}

TEST(RecentFileList, IgnoresEmptyAndRepeatedEntriesOfAHandEditedProfile) {
    const auto dir = MakeTempDir();
    platform::ProfileFile profile(dir / "lombex32.ini");
    ASSERT_TRUE(profile.WriteString("Recent File List", "File1", "/x"));
    ASSERT_TRUE(profile.WriteString("Recent File List", "File2", ""));
    ASSERT_TRUE(profile.WriteString("Recent File List", "File3", "/x"));
    ASSERT_TRUE(profile.WriteString("Recent File List", "File4", "/y"));
    RecentFileList list;
    list.Load(profile);
    EXPECT_EQ(list.Paths(), (std::vector<std::string>{"/x", "/y"}));
    std::filesystem::remove_all(dir);
}

TEST(CaptureRecord, DropsTheOldestFramesBeyondItsLimitButKeepsTheNewest) {
    CaptureRecord record(10);
    const std::vector<uint8_t> four(4, 0xAA), twelve(12, 0xBB);
    record.OnFrame({four, false, 0, 1000});
    record.OnFrame({four, true, 0, 1001});
    ASSERT_EQ(record.Frames().size(), 2u);
    record.OnFrame({four, false, 1, 1002});  // 12 bytes: the first frame goes
    ASSERT_EQ(record.Frames().size(), 2u);
    EXPECT_TRUE(record.Frames().front().sent);
    EXPECT_EQ(record.Frames().back().result, 1u);
    EXPECT_EQ(record.Frames().back().arrivalNs, 1002u);
    record.OnFrame({twelve, false, 0, 1003});  // larger than the limit alone: it stays
    ASSERT_EQ(record.Frames().size(), 1u);
    EXPECT_EQ(record.Frames().front().bytes, twelve);
    EXPECT_EQ(record.Dropped(), 3u);
    record.Clear();
    EXPECT_TRUE(record.Frames().empty());
    EXPECT_EQ(record.Dropped(), 0u);
}

// The blocks of a pcapng file written in this machine's byte order: type and body.
std::vector<std::pair<uint32_t, std::string>> PcapngBlocks(const std::string& file) {
    std::vector<std::pair<uint32_t, std::string>> blocks;
    for (size_t at = 0; at + 12 <= file.size();) {
        uint32_t type = 0, length = 0;
        std::memcpy(&type, file.data() + at, 4);
        std::memcpy(&length, file.data() + at + 4, 4);
        if (length < 12 || at + length > file.size()) {
            ADD_FAILURE() << "a block of " << length << " bytes at " << at;
            break;
        }
        blocks.emplace_back(type, file.substr(at + 8, length - 12));
        at += length;
    }
    return blocks;
}

TEST(CaptureRecord, WritesEveryFrameAsAPacketAtItsArrivalTimeWithItsDirectionAndError) {
    const auto dir = MakeTempDir();
    CaptureRecord record;
    const uint64_t arrival = 1'700'000'000'123'456'789;  // nanoseconds since 1970
    record.OnFrame({Bytes("\x03\x13hello"), false, 0, arrival});
    record.OnFrame({Bytes("\x01\x11"), true, 0, arrival + 28'000});
    record.OnFrame({Bytes("bad"), false, 1, arrival + 56'000});
    ASSERT_TRUE(record.WritePcapng(dir / "c.pcapng", "Wyvel32 port 1"));
    const auto blocks = PcapngBlocks(ReadFile(dir / "c.pcapng"));
    ASSERT_EQ(blocks.size(), 5u);  // section header, interface, three packets
    // The interface counts in nanoseconds (if_tsresol 9) and carries the port's name.
    EXPECT_EQ(blocks[1].first, 1u);
    EXPECT_NE(blocks[1].second.find(std::string("\x09\x00\x01\x00\x09", 5)), std::string::npos);
    EXPECT_NE(blocks[1].second.find("Wyvel32 port 1"), std::string::npos);
    for (size_t i = 0; i < 3; ++i) {
        const std::string& packet = blocks[2 + i].second;
        ASSERT_EQ(blocks[2 + i].first, 6u);
        uint32_t high = 0, low = 0;
        std::memcpy(&high, packet.data() + 4, 4);
        std::memcpy(&low, packet.data() + 8, 4);
        EXPECT_EQ((uint64_t{high} << 32) | low, arrival + 28'000 * i) << i;
    }
    EXPECT_NE(blocks[2].second.find("hello"), std::string::npos);
    EXPECT_NE(blocks[4].second.find("CRC error on GetData!"), std::string::npos);
    EXPECT_FALSE(record.WritePcapng(dir / "missing" / "c.pcapng", "x"));
    std::filesystem::remove_all(dir);
}

class DriverInfoHint : public EngineTest {};

TEST_F(DriverInfoHint, FollowsTheDriverInformationBoxesAtStartAndAtSelection) {
    app_->SetDriverInfoHint("Start the host.");
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(app_->Startup());
    EXPECT_EQ(ui_.LastMessage(),
              "Could not retrieve driver information, Exiting application!\n\nStart the host.");
    ASSERT_TRUE(app_->Startup());
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(app_->SelectDriverPort());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve driver information!\n\nStart the host.");
}

}  // namespace
}  // namespace qorval::analyser::testing
