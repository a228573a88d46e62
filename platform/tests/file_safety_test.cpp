// What the shared files promise beyond their contents: who may read them, how long a writer
// waits for another, and that a symbolic link stays a link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/event_log.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/tests/lock_holder_process.h"
#include "platform/tests/other_user.h"
#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using testing::LockHolderProcess;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(FileSafety, WhatTheSuiteCreatesIsPrivateToItsOwner) {
    TempDir dir;
    const auto folder = dir / "prefix";
    const auto file = folder / "deep" / "system.reg";
    ASSERT_TRUE(Registry(file).CreateKey("A").ok());
    EventLogEntry loaded;
    loaded.source = "Wyvel32";
    loaded.error_code = 0x60070002;
    FileEventLog(folder / "log", false).Write(loaded);
    ASSERT_TRUE(ProfileFile(folder / "drive_c" / "System.ini").WriteString("S", "K", "V"));

    for (const auto& path : {folder, folder / "deep", folder / "log", folder / "drive_c"}) {
        EXPECT_EQ(ModeOf(path), 0700u) << path;
    }
    for (const auto& path : {file, folder / "deep" / "system.reg.lock",
                             folder / "log" / "wyvel32.log", folder / "drive_c" / "System.ini"}) {
        EXPECT_EQ(ModeOf(path), 0600u) << path;
    }
    // A mode a person chose for an existing file survives the rewrite.
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(Registry(file).CreateKey("B").ok());
    EXPECT_EQ(ModeOf(file), 0640u);
}

TEST(FileSafety, AnotherUserCanNeitherReadNorLockTheStore) {
    if (const std::string why = testing::OtherUserUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // only the suite's own modes protect
    const auto folder = dir / "prefix";
    const auto file = folder / "system.reg";
    ASSERT_TRUE(Registry(file).CreateKey("A").ok());
    WriteFile(dir / "public", "x");
    ASSERT_EQ(::chmod((dir / "public").c_str(), 0644), 0);
    // The control: the other user does read a file that is open to everyone.
    ASSERT_EQ(testing::RunAsOtherUser("cat " + (dir / "public").string()), 0);

    EXPECT_NE(testing::RunAsOtherUser("ls " + folder.string()), 0);
    // Even with the folder opened to everyone, the files themselves stay closed.
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    EXPECT_NE(testing::RunAsOtherUser("cat " + file.string()), 0);
    EXPECT_NE(testing::RunAsOtherUser("flock -n " + file.string() + ".lock true"), 0);
}

TEST(FileSafety, LockWaitIsBoundedAndNamesTheHolder) {
    TempDir dir;
    const auto file = dir / "system.reg";
    ASSERT_TRUE(Registry(file).SetDword("", "Before", 1).ok());
    const std::string before = ReadFile(file);

    LockHolderProcess holder(file);
    Registry reg(file, std::chrono::milliseconds(200));
    const RegResult r = reg.SetDword("", "During", 2);
    EXPECT_EQ(r.status, RegStatus::IoError);
    EXPECT_NE(r.message.find(file.string() + ".lock: still locked by process " +
                             std::to_string(holder.pid()) + " ("),
              std::string::npos)
        << r.message;
    EXPECT_NE(r.message.find("nothing was changed"), std::string::npos) << r.message;
    EXPECT_EQ(ReadFile(file), before);
    uint32_t value = 0;
    EXPECT_TRUE(reg.QueryDword("", "Before", value).ok());  // readers never wait for the lock

    holder.Release();
    EXPECT_TRUE(reg.SetDword("", "After", 3).ok());
}

TEST(FileSafety, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    TempDir dir;
    std::filesystem::create_directories(dir / "real");
    std::filesystem::create_directories(dir / "prefix");
    const auto target = dir / "real" / "system.reg";
    const auto link = dir / "prefix" / "system.reg";
    WriteFile(target, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\r\n");
    std::filesystem::create_symlink("../real/system.reg", link);

    ASSERT_TRUE(Registry(link).SetDword("A", "X", 7).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    uint32_t value = 0;
    EXPECT_TRUE(Registry(target).QueryDword("A", "X", value).ok());
    EXPECT_EQ(value, 7u);
    // Writers through the link and writers of the target share one lock, beside the target.
    EXPECT_TRUE(std::filesystem::exists(dir / "real" / "system.reg.lock"));
    EXPECT_FALSE(std::filesystem::exists(dir / "prefix" / "system.reg.lock"));

    // A link to a file that does not exist yet creates that file.
    const auto ini_link = dir / "prefix" / "System.ini";
    std::filesystem::create_symlink(dir / "real" / "System.ini", ini_link);
    ASSERT_TRUE(ProfileFile(ini_link).WriteString("S", "K", "V"));
    EXPECT_TRUE(std::filesystem::is_symlink(ini_link));
    EXPECT_EQ(ReadFile(dir / "real" / "System.ini"), "[S]\r\nK=V\r\n");

    // A loop of links is refused and leaves both links as they were.
    std::filesystem::create_symlink("loop.b", dir / "prefix" / "loop.a");
    std::filesystem::create_symlink("loop.a", dir / "prefix" / "loop.b");
    const RegResult loop = Registry(dir / "prefix" / "loop.a").CreateKey("A");
    EXPECT_EQ(loop.status, RegStatus::IoError);
    EXPECT_NE(loop.message.find("too many levels of symbolic links"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "prefix" / "loop.a"));
}

}  // namespace
}  // namespace qorval::platform
