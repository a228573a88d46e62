#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr std::string_view kService = "System\\CurrentControlSet\\Services\\Wyvel32";
constexpr std::string_view kPort =
    "System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001";

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

uint32_t Dword(Registry& reg, std::string_view key, std::string_view name) {
    uint32_t value = 0;
    const RegResult r = reg.QueryDword(key, name, value);
    EXPECT_TRUE(r.ok()) << r.message;
    return value;
}

std::vector<std::string> Subkeys(Registry& reg, std::string_view key) {
    std::vector<std::string> names;
    for (uint32_t i = 0; auto name = reg.EnumSubkey(key, i); ++i) {
        names.push_back(*name);
    }
    return names;
}

TEST(Registry, PathFormsAndLetterCaseNameTheSameKey) {
    Registry reg;
    ASSERT_TRUE(reg.CreateKey(kPort).ok());
    ASSERT_TRUE(reg.SetDword(kPort, "RxBuffSize", 1024).ok());
    for (std::string_view form :
         {"System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001",
          "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001",
          "\\Registry\\machine\\system\\currentcontrolset\\services\\wyvel32\\parameters\\port001",
          "\\REGISTRY\\MACHINE\\System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\PORT001"
          "\\",
          "hklm\\System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001"}) {
        EXPECT_TRUE(reg.KeyExists(form)) << form;
        EXPECT_EQ(Dword(reg, form, "rxbuffsize"), 1024u) << form;
    }
    // A value written under another spelling replaces the old one and keeps the first case.
    ASSERT_TRUE(reg.SetDword(kPort, "RXBUFFSIZE", 2048).ok());
    EXPECT_EQ(reg.ValueNames(kPort), std::vector<std::string>{"RxBuffSize"});
    EXPECT_EQ(Dword(reg, kPort, "RxBuffSize"), 2048u);
    // Open-if-exists keeps the stored spelling too.
    ASSERT_TRUE(reg.CreateKey("system\\currentcontrolset\\services\\WYVEL32\\Parameters").ok());
    EXPECT_EQ(reg.EnumSubkey("System\\CurrentControlSet\\Services", 0), "Wyvel32");
}

TEST(Registry, BadPathsAndNamesAreRefused) {
    Registry reg;
    ASSERT_TRUE(reg.CreateKey("A").ok());
    const std::string long_name(256, 'x');
    for (std::string_view path : {std::string_view("A\\\\B"), std::string_view("\\A"),
                                  std::string_view("A\nB"), std::string_view(long_name)}) {
        EXPECT_EQ(reg.CreateKey(path).status, RegStatus::InvalidArgument) << path;
        EXPECT_FALSE(reg.KeyExists(path));
    }
    EXPECT_EQ(reg.SetDword("A", long_name, 1).status, RegStatus::InvalidArgument);
    EXPECT_EQ(reg.SetString("A", "line\nbreak", "x").status, RegStatus::InvalidArgument);
    std::vector<uint8_t> too_big(1024 * 1024 + 1);
    EXPECT_EQ(reg.SetValue("A", "big", REG_BINARY, too_big).status, RegStatus::InvalidArgument);
    too_big.pop_back();
    EXPECT_TRUE(reg.SetValue("A", "big", REG_BINARY, too_big).ok());
    EXPECT_EQ(reg.DeleteKey("HKEY_LOCAL_MACHINE").status, RegStatus::InvalidArgument);
}

TEST(Registry, DeleteKeyTakesItsSubkeys) {
    Registry reg;
    ASSERT_TRUE(reg.CreateKey("S\\Parameters\\Port001\\Deep").ok());
    ASSERT_TRUE(reg.CreateKey("S\\Parameters\\Port002").ok());
    ASSERT_TRUE(reg.SetDword("S\\Parameters\\Port001\\Deep", "X", 1).ok());
    ASSERT_TRUE(reg.DeleteKey("s\\parameters\\PORT001").ok());
    EXPECT_FALSE(reg.KeyExists("S\\Parameters\\Port001\\Deep"));
    EXPECT_EQ(Subkeys(reg, "S\\Parameters"), std::vector<std::string>{"Port002"});
    EXPECT_EQ(reg.DeleteKey("S\\Parameters\\Port001").status, RegStatus::NotFound);
    EXPECT_EQ(reg.DeleteKey("S\\Missing\\Port001").status, RegStatus::NotFound);
    // A recreated key starts empty.
    ASSERT_TRUE(reg.CreateKey("S\\Parameters\\Port001").ok());
    EXPECT_TRUE(reg.ValueNames("S\\Parameters\\Port001").empty());
}

TEST(Registry, EnumerationOrder) {
    Registry reg;
    for (auto name : {"Port002", "Enum", "port001", "Port010", "PORT003"}) {
        ASSERT_TRUE(reg.CreateKey(std::string("S\\") + name).ok());
    }
    EXPECT_EQ(Subkeys(reg, "S"),
              (std::vector<std::string>{"Enum", "port001", "Port002", "PORT003", "Port010"}));
    EXPECT_EQ(reg.EnumSubkey("S", 5), std::nullopt);
    EXPECT_EQ(reg.EnumSubkey("Missing", 0), std::nullopt);

    for (auto name : {"Zeta", "alpha", "", "Mid"}) {
        ASSERT_TRUE(reg.SetDword("S", name, 0).ok());
    }
    EXPECT_EQ(reg.ValueNames("S"), (std::vector<std::string>{"Zeta", "alpha", "", "Mid"}));
    ASSERT_TRUE(reg.DeleteValue("S", "ALPHA").ok());
    EXPECT_EQ(reg.ValueNames("S"), (std::vector<std::string>{"Zeta", "", "Mid"}));
    EXPECT_EQ(reg.DeleteValue("S", "alpha").status, RegStatus::NotFound);
}

TEST(Registry, TypedQueries) {
    Registry reg;
    ASSERT_TRUE(reg.CreateKey("K").ok());
    EXPECT_EQ(reg.SetDword("Missing", "X", 1).status, RegStatus::NotFound);
    ASSERT_TRUE(reg.SetDword("K", "Dw", 0xFFFFFFFF).ok());
    ASSERT_TRUE(reg.SetString("K", "Sz", "20.000").ok());
    const uint8_t two[] = {1, 2};
    ASSERT_TRUE(reg.SetValue("K", "Short", REG_DWORD, two).ok());
    const uint8_t expand[] = {'%', 'x', '%', 0};
    ASSERT_TRUE(reg.SetValue("K", "Ex", REG_EXPAND_SZ, expand).ok());

    uint32_t dw = 0;
    std::string text;
    EXPECT_EQ(Dword(reg, "K", "dw"), 0xFFFFFFFFu);
    EXPECT_EQ(reg.QueryDword("K", "Sz", dw).status, RegStatus::WrongType);
    EXPECT_EQ(reg.QueryDword("K", "Short", dw).status, RegStatus::WrongType);
    EXPECT_EQ(reg.QueryString("K", "Dw", text).status, RegStatus::WrongType);
    EXPECT_EQ(reg.QueryDword("K", "Nope", dw).status, RegStatus::NotFound);
    EXPECT_EQ(reg.QueryDword("Nope", "Dw", dw).status, RegStatus::NotFound);
    ASSERT_TRUE(reg.QueryString("K", "SZ", text).ok());
    EXPECT_EQ(text, "20.000");
    // The terminator a caller passes is not part of the stored text.
    RegValue raw;
    ASSERT_TRUE(reg.QueryValue("K", "Ex", raw).ok());
    EXPECT_EQ(raw.data, Bytes("%x%"));
    ASSERT_TRUE(reg.QueryString("K", "Ex", text).ok());
    EXPECT_EQ(text, "%x%");
}

TEST(RegistryFile, PersistsAndIsSeenByAnotherObject) {
    TempDir dir;
    const auto file = dir / "sub" / "system.reg";
    Registry writer(file);
    Registry reader(file);
    EXPECT_FALSE(reader.KeyExists(kService));  // a missing file is an empty registry
    EXPECT_TRUE(reader.Flush().ok());

    ASSERT_TRUE(writer.CreateKey(kService).ok());
    ASSERT_TRUE(writer.SetDword(kService, "Start", 3).ok());
    EXPECT_EQ(Dword(reader, kService, "Start"), 3u);
    ASSERT_TRUE(reader.SetString(kService, "Group", "Extended Base").ok());
    ASSERT_TRUE(writer.SetDword(kService, "Type", 1).ok());  // must not drop "Group"
    EXPECT_EQ(writer.ValueNames(kService), (std::vector<std::string>{"Start", "Group", "Type"}));

    EXPECT_EQ(ReadFile(file),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Wyvel32]\r\n"
              "\"Start\"=dword:00000003\r\n"
              "\"Group\"=\"Extended Base\"\r\n"
              "\"Type\"=dword:00000001\r\n\r\n");
    // A person's edit is picked up by a running store.
    WriteFile(file,
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Wyvel32]\n"
              "\"Start\"=dword:00000004\n");
    EXPECT_EQ(Dword(writer, kService, "Start"), 4u);
    EXPECT_TRUE(writer.ValueNames(kService).size() == 1);
}

// Operations that may not change the file when it is damaged, and whether they report it.
TEST(RegistryFile, DamagedFileIsReportedAndNeverOverwritten) {
    TempDir dir;
    const auto file = dir / "system.reg";
    const std::string damaged =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"X\"=dword:00000001\r\n\"Y\"=hex:0q\r\n";
    WriteFile(file, damaged);
    Registry reg(file);
    const std::string expected = file.string() + ":5: bad hex digit";

    RegValue value;
    uint32_t dw = 0;
    std::string text;
    const RegResult results[] = {
        reg.CreateKey("B"),
        reg.DeleteKey("A"),
        reg.SetDword("A", "X", 2),
        reg.SetString("A", "Z", ""),
        reg.DeleteValue("A", "X"),
        reg.QueryValue("A", "X", value),
        reg.QueryDword("A", "X", dw),
        reg.QueryString("A", "X", text),
        reg.Flush(),
    };
    for (const RegResult& r : results) {
        EXPECT_EQ(r.status, RegStatus::Corrupt);
        EXPECT_EQ(r.message, expected);
    }
    EXPECT_FALSE(reg.KeyExists("A"));
    EXPECT_EQ(reg.EnumSubkey("", 0), std::nullopt);
    EXPECT_TRUE(reg.ValueNames("A").empty());
    EXPECT_EQ(ReadFile(file), damaged);

    // Once a person repairs the file, the store works again.
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"X\"=dword:00000001\r\n");
    EXPECT_EQ(Dword(reg, "A", "X"), 1u);
    EXPECT_TRUE(reg.SetDword("A", "X", 2).ok());
}

TEST(RegistryFile, OversizedFileIsDamaged) {
    TempDir dir;
    const auto file = dir / "system.reg";
    {
        std::ofstream out(file, std::ios::binary);
        out << "REGEDIT4\r\n\r\n";
        out.seekp(64 * 1024 * 1024);
        out << ";\r\n";
    }
    Registry reg(file);
    const RegResult r = reg.CreateKey("A");
    EXPECT_EQ(r.status, RegStatus::Corrupt);
    EXPECT_NE(r.message.find("larger than 64 MiB"), std::string::npos);
}

TEST(RegistryFile, FailedWriteIsAnIoErrorAndKeepsTheStoreConsistent) {
    // A file name of 250 characters leaves room for its ".lock" sibling but not for the
    // temporary file beside it, so every rewrite fails, whoever runs the test.
    TempDir dir;
    const auto file = dir / std::string(250, 'r');
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\r\n");
    Registry reg(file);
    ASSERT_TRUE(reg.KeyExists("A"));
    const RegResult r = reg.CreateKey("B");
    EXPECT_EQ(r.status, RegStatus::IoError);
    EXPECT_NE(r.message.find("cannot"), std::string::npos) << r.message;
    EXPECT_FALSE(reg.KeyExists("B"));  // the failed change is not left in memory
    EXPECT_TRUE(reg.KeyExists("A"));
    EXPECT_EQ(ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\r\n");
}

TEST(RegistryFile, TransactionWritesEveryChangeOrNone) {
    TempDir dir;
    const auto file = dir / "system.reg";
    Registry reg(file);
    ASSERT_TRUE(reg.CreateKey("A").ok());
    const std::string before = ReadFile(file);

    // An edit that fails part-way leaves the file and the store as they were.
    const RegResult refused = reg.Transact([](Registry& batch) {
        EXPECT_TRUE(batch.SetDword("A", "New", 1).ok());
        EXPECT_TRUE(batch.CreateKey("B").ok());
        return batch.SetDword("Missing", "X", 1);
    });
    EXPECT_EQ(refused.status, RegStatus::NotFound);
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_FALSE(reg.KeyExists("B"));

    // An edit that changes nothing does not rewrite a file a person wrote by hand.
    WriteFile(file, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:00000001\n");
    ASSERT_TRUE(reg.Transact([](Registry& batch) { return batch.SetDword("A", "V", 1); }).ok());
    EXPECT_EQ(ReadFile(file), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:00000001\n");

    // A damaged file is reported and the edit never runs.
    WriteFile(file, "garbage");
    bool ran = false;
    EXPECT_EQ(reg.Transact([&](Registry&) {
                     ran = true;
                     return RegResult{};
                 }).status,
              RegStatus::Corrupt);
    EXPECT_FALSE(ran);
    EXPECT_EQ(ReadFile(file), "garbage");
}

// Each writer adds its own values; a lost update or a half-written file shows as a missing
// value or a damaged file.
void AddValues(const std::filesystem::path& file, const std::string& prefix, int count) {
    Registry reg(file);
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(reg.SetDword("Shared", prefix + std::to_string(i), i).ok());
    }
}

TEST(RegistryConcurrency, WritersOnOneFileLoseNothing) {
    TempDir dir;
    const auto file = dir / "system.reg";
    Registry setup(file);
    ASSERT_TRUE(setup.CreateKey("Shared").ok());
    constexpr int kCount = 60;

    std::atomic<bool> done{false};
    std::thread reader([&] {
        Registry watcher(file);
        while (!done.load(std::memory_order_relaxed)) {
            ASSERT_TRUE(watcher.Flush().ok());
        }
    });
    std::thread a(AddValues, file, "a", kCount);
    std::thread b(AddValues, file, "b", kCount);
    // Two threads also share one object, which serialises them itself.
    std::thread c([&] {
        for (int i = 0; i < kCount; ++i) {
            ASSERT_TRUE(setup.SetDword("Shared", "c" + std::to_string(i), i).ok());
        }
    });
    for (int i = 0; i < kCount; ++i) {
        ASSERT_TRUE(setup.SetDword("Shared", "d" + std::to_string(i), i).ok());
    }
    a.join();
    b.join();
    c.join();
    done = true;
    reader.join();
    EXPECT_EQ(Registry(file).ValueNames("Shared").size(), 4u * kCount);
}

TEST(RegistryConcurrency, WritersInTwoProcessesLoseNothing) {
    TempDir dir;
    const auto file = dir / "system.reg";
    ASSERT_TRUE(Registry(file).CreateKey("Shared").ok());
    constexpr int kCount = 40;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Registry reg(file);
        bool ok = true;
        for (int i = 0; i < kCount; ++i) {
            ok = reg.SetDword("Shared", "child" + std::to_string(i), i).ok() && ok;
        }
        ::_exit(ok ? 0 : 1);
    }
    AddValues(file, "parent", kCount);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Registry(file).ValueNames("Shared").size(), 2u * kCount);
}

}  // namespace
}  // namespace qorval::platform
