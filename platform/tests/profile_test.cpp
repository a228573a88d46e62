#include "platform/profile.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A file as a person or an old tool leaves it: LF ends, comments, odd lines, odd spacing.
constexpr const char* kSystemIni =
    "stray=before any section\n"
    "[boot]\n"
    "shell=Explorer.exe\n"
    "\n"
    "[386Enh]\n"
    "; drivers\n"
    "device=*vpicd\n"
    "this line is damaged\n"
    "device=C:\\windows\\system32\\drivers\\WYVEL32.VXD\n"
    "\n"
    "[Wyvel32]\n"
    "  Base = 300  \n"
    "Osc=\"20.000\"\n"
    "Quoted=\" spaced \"\n"
    "Half=\"open\n"
    "IRQ=5\n"
    "irq=7\n"
    "[wyvel32]\n"
    "Hidden=1\n";

class ProfileTest : public ::testing::Test {
  protected:
    ProfileTest() { WriteFile(file_, kSystemIni); }
    TempDir dir_;
    std::filesystem::path file_ = dir_ / "System.ini";
    ProfileFile ini_{file_};
};

TEST_F(ProfileTest, StringReads) {
    EXPECT_EQ(ini_.GetString("WYVEL32", "base", "x"), "300");
    EXPECT_EQ(ini_.GetString("Wyvel32", "Osc", ""), "20.000");
    EXPECT_EQ(ini_.GetString("Wyvel32", "Quoted", ""), " spaced ");
    EXPECT_EQ(ini_.GetString("Wyvel32", "Half", ""), "\"open");
    EXPECT_EQ(ini_.GetString("Wyvel32", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini_.GetString("Nowhere", "Base", "dflt"), "dflt");
    // The first section and the first key of a name win; keys before any section are in none.
    EXPECT_EQ(ini_.GetInt("Wyvel32", "IRQ", 0), 5);
    EXPECT_FALSE(ini_.HasKey("Wyvel32", "Hidden"));
    EXPECT_FALSE(ini_.HasKey("", "stray"));
    EXPECT_TRUE(ini_.HasKey(" boot ", "SHELL"));
    EXPECT_EQ(ProfileFile(dir_ / "absent.ini").GetString("boot", "shell", "none"), "none");
}

TEST_F(ProfileTest, Listings) {
    EXPECT_EQ(ini_.SectionNames(), (std::vector<std::string>{"boot", "386Enh", "Wyvel32"}));
    EXPECT_EQ(ini_.KeyNames("wyvel32"),
              (std::vector<std::string>{"Base", "Osc", "Quoted", "Half", "IRQ"}));
    EXPECT_EQ(ini_.ReadSection("386enh"),
              (std::vector<std::string>{"device=*vpicd",
                                        "device=C:\\windows\\system32\\drivers\\WYVEL32.VXD"}));
    EXPECT_TRUE(ini_.ReadSection("absent").empty());
}

TEST(ProfileInt, ParsesLikeTheOriginalPlatform) {
    const struct {
        const char* stored;
        int32_t expected;
    } cases[] = {
        {"12", 12},
        {"  -7 ", -7},
        {"+3", 3},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"\"42\"", 42},
        {"0x10", 0},
        {"- 5", 0},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999", -2147483647 - 1},
    };
    TempDir dir;
    const auto file = dir / "a.ini";
    for (const auto& c : cases) {
        WriteFile(file, std::string("[s]\nk=") + c.stored + "\n");
        EXPECT_EQ(ProfileFile(file).GetInt("s", "k", -1), c.expected) << c.stored;
    }
    EXPECT_EQ(ProfileFile(file).GetInt("s", "missing", 77), 77);
}

TEST_F(ProfileTest, WriteStringKeepsEveryOtherLine) {
    ASSERT_TRUE(ini_.WriteString("wyvel32", "irq", "9"));  // first match, stored spelling
    ASSERT_TRUE(ini_.WriteString("386Enh", "new", "1"));   // after the section's last line
    ASSERT_TRUE(ini_.WriteString("boot", "shell", std::nullopt));
    ASSERT_TRUE(ini_.WriteString("Fresh", "Key", "v"));  // new section at the end
    EXPECT_EQ(ReadFile(file_),
              "stray=before any section\r\n"
              "[boot]\r\n"
              "\r\n"
              "[386Enh]\r\n"
              "; drivers\r\n"
              "device=*vpicd\r\n"
              "this line is damaged\r\n"
              "device=C:\\windows\\system32\\drivers\\WYVEL32.VXD\r\n"
              "new=1\r\n"
              "\r\n"
              "[Wyvel32]\r\n"
              "  Base = 300  \r\n"
              "Osc=\"20.000\"\r\n"
              "Quoted=\" spaced \"\r\n"
              "Half=\"open\r\n"
              "IRQ=9\r\n"
              "irq=7\r\n"
              "[wyvel32]\r\n"
              "Hidden=1\r\n"
              "[Fresh]\r\n"
              "Key=v\r\n");
}

TEST_F(ProfileTest, SectionRewriteAndDelete) {
    // The way the configuration tool rebuilds the device lines of "386Enh".
    std::vector<std::string> lines = ini_.ReadSection("386Enh");
    lines.erase(lines.begin() + 1);
    lines.push_back("device=C:\\windows\\system32\\drivers\\FENDAR5.VXD");
    ASSERT_TRUE(ini_.WriteSection("386ENH", lines));
    ASSERT_TRUE(ini_.DeleteSection("WYVEL32"));  // the first of the two
    ASSERT_TRUE(ini_.DeleteSection("NotThere"));
    ASSERT_TRUE(ini_.WriteSection("New", {"a=1", "b=2"}));
    EXPECT_EQ(ReadFile(file_),
              "stray=before any section\r\n"
              "[boot]\r\n"
              "shell=Explorer.exe\r\n"
              "\r\n"
              "[386Enh]\r\n"
              "device=*vpicd\r\n"
              "device=C:\\windows\\system32\\drivers\\FENDAR5.VXD\r\n"
              "\r\n"
              "[wyvel32]\r\n"
              "Hidden=1\r\n"
              "[New]\r\n"
              "a=1\r\n"
              "b=2\r\n");
    EXPECT_EQ(ini_.GetInt("Wyvel32", "Hidden", 0), 1);
}

TEST_F(ProfileTest, RefusedWritesChangeNothing) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } bad[] = {
        {"", "k", "v"},    {"a]b", "k", "v"}, {"s\n", "k", "v"},          {"s", "", "v"},
        {"s", "a=b", "v"}, {"s", ";k", "v"},  {"s", "k", "two\r\nlines"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(ini_.WriteString(b.section, b.key, b.value)) << b.section << b.key;
        EXPECT_FALSE(ini_.LastError().empty());
    }
    EXPECT_FALSE(ini_.WriteSection("s", {"ok=1", "[sneaky]"}));
    EXPECT_FALSE(ini_.WriteSection("s", {"line\nbreak"}));
    EXPECT_EQ(ReadFile(file_), kSystemIni);
    ASSERT_TRUE(ini_.WriteString("boot", "shell", "Explorer.exe"));
    EXPECT_TRUE(ini_.LastError().empty());
}

TEST(Profile, BinaryDamageIsKept) {
    TempDir dir;
    const auto file = dir / "damaged.ini";
    const std::string damaged = "\xff\xfe[\0\x01]garbage\r\n[s]\r\nk=1\r\n\x80\x81"s;
    WriteFile(file, damaged);
    ProfileFile ini(file);
    EXPECT_EQ(ini.GetInt("s", "k", 0), 1);
    ASSERT_TRUE(ini.WriteString("s", "k", "2"));
    EXPECT_EQ(ReadFile(file), "\xff\xfe[\0\x01]garbage\r\n[s]\r\nk=2\r\n\x80\x81\r\n"s);
}

TEST(Profile, FileAndFolderAreCreatedOnFirstWrite) {
    TempDir dir;
    ProfileFile ini(dir / "drive_c" / "windows" / "lombex32.ini");
    ASSERT_TRUE(ini.WriteString("Settings", "Font", "Courier"));
    EXPECT_EQ(ini.GetString("settings", "font", ""), "Courier");
    // Deleting what is not there does not create a file.
    ProfileFile other(dir / "other.ini");
    ASSERT_TRUE(other.WriteString("s", "k", std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(dir / "other.ini"));
}

TEST(ProfileConcurrency, WritersOnOneFileLoseNothing) {
    TempDir dir;
    const auto file = dir / "shared.ini";
    constexpr int kCount = 50;
    auto writer = [&](std::string section) {
        ProfileFile ini(file);
        for (int i = 0; i < kCount; ++i) {
            ASSERT_TRUE(ini.WriteString(section, "k" + std::to_string(i), std::to_string(i)));
        }
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    ProfileFile ini(file);
    EXPECT_EQ(ini.KeyNames("a").size(), size_t{kCount});
    EXPECT_EQ(ini.KeyNames("b").size(), size_t{kCount});
}

}  // namespace
}  // namespace qorval::platform
