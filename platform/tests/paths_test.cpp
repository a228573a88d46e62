#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Sets or clears the variables that choose the prefix and restores them afterwards.
class PathsTest : public ::testing::Test {
  protected:
    static constexpr const char* kVariables[] = {"QORVAL_PREFIX", "XDG_DATA_HOME", "HOME"};

    PathsTest() {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        Set("QORVAL_PREFIX", prefix_.path().string());
    }
    ~PathsTest() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            Set(kVariables[i], saved_[i]);
        }
    }
    static void Set(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    TempDir prefix_;
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(PathsTest, PrefixChoice) {
    EXPECT_EQ(Prefix(), prefix_.path());
    EXPECT_EQ(RegistryFile(), prefix_ / "system.reg");
    EXPECT_EQ(WindowsDir(), prefix_ / "drive_c" / "windows");
    EXPECT_EQ(RunDir(), prefix_ / "run");
    EXPECT_EQ(LogDir(), prefix_ / "log");

    Set("QORVAL_PREFIX", "");
    Set("XDG_DATA_HOME", "/data");
    Set("HOME", "/home/eng");
    EXPECT_EQ(Prefix(), std::filesystem::path("/data/qorval"));
    Set("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(Prefix(), std::filesystem::path("/home/eng/.local/share/qorval"));
    Set("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(Prefix(), std::filesystem::path("/home/eng/.local/share/qorval"));
}

TEST_F(PathsTest, DosPaths) {
    const auto c = prefix_ / "drive_c";
    const struct {
        const char* dos;
        std::filesystem::path expected;
    } cases[] = {
        {"c:\\QLConfig.LOG", c / "QLConfig.LOG"},
        {"C:/logs\\today.txt", c / "logs" / "today.txt"},
        {"c:QLConfig.LOG", c / "QLConfig.LOG"},
        {"D:\\data\\x.bin", prefix_ / "drive_d" / "data" / "x.bin"},
        {"\\windows\\System.ini", c / "windows" / "System.ini"},
        {"c:\\..\\..\\etc\\passwd", c / "etc" / "passwd"},
        {"c:\\a\\.\\b\\..\\c", c / "a" / "c"},
        {"c:\\", c},
        {"testfile.dat", "testfile.dat"},
        {"..\\up\\x", std::filesystem::path("..") / "up" / "x"},
        {"1:\\x", std::filesystem::path("1:") / "x"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(FromDosPath(k.dos), k.expected) << k.dos;
    }
}

TEST_F(PathsTest, DosPathsFindExistingNamesInAnyCase) {
    ASSERT_TRUE(EnsureDirectory(WindowsDir(), nullptr));
    WriteFile(WindowsDir() / "SYSTEM.INI", "");
    EXPECT_EQ(FromDosPath("C:\\WINDOWS\\system.ini"), WindowsDir() / "SYSTEM.INI");
    EXPECT_EQ(FromDosPath("c:\\Windows\\New.ini"), WindowsDir() / "New.ini");
}

TEST_F(PathsTest, EnsureDirectory) {
    std::string error;
    EXPECT_TRUE(EnsureDirectory(prefix_ / "a" / "b" / "c", &error));
    EXPECT_TRUE(std::filesystem::is_directory(prefix_ / "a" / "b" / "c"));
    EXPECT_TRUE(EnsureDirectory(prefix_ / "a", &error));  // already there
    WriteFile(prefix_ / "file", "x");
    EXPECT_FALSE(EnsureDirectory(prefix_ / "file", &error));
    EXPECT_NE(error.find("file"), std::string::npos);
    EXPECT_FALSE(EnsureDirectory(prefix_ / "file" / "sub", nullptr));
}

}  // namespace
}  // namespace qorval::platform
