#include "platform/reg_file_format.h"

#include <gtest/gtest.h>

namespace qorval::platform {
namespace {

using namespace std::string_literals;

RegValue Value(std::string name, uint32_t type, std::vector<uint8_t> data) {
    return RegValue{std::move(name), type, std::move(data)};
}

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

RegKey Parse(std::string_view text) {
    RegKey root;
    RegParseError error;
    EXPECT_TRUE(ParseRegFile(text, root, error)) << error.line << ": " << error.what;
    return root;
}

TEST(RegFileFormat, WritesTheLayoutWindowsImports) {
    RegKey root;
    RegKey& services = AddSubkey(AddSubkey(root, "System"), "Services");
    RegKey& params = AddSubkey(services, "Wyvel32");
    PutValue(params, Value("Start", REG_DWORD, {0x7e, 0, 0, 0}));
    PutValue(params, Value("Group", REG_SZ, Bytes("Extended \"Base\" C:\\x")));
    PutValue(params, Value("", REG_BINARY, {1, 0xab}));
    PutValue(params, Value("Path", REG_EXPAND_SZ, Bytes("%a")));

    EXPECT_EQ(WriteRegFile(root),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System\\Services]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\System\\Services\\Wyvel32]\r\n"
              "\"Start\"=dword:0000007e\r\n"
              "\"Group\"=\"Extended \\\"Base\\\" C:\\\\x\"\r\n"
              "@=hex:01,ab\r\n"
              "\"Path\"=hex(2):25,61,00\r\n\r\n");
}

// Every kind of value and name the store can hold must come back unchanged.
TEST(RegFileFormat, RoundTripKeepsEveryValueKind) {
    RegKey root;
    RegKey& key = AddSubkey(root, "Odd ]names[ \"quoted\" = ;x");
    PutValue(key, Value("", REG_SZ, Bytes("")));
    PutValue(key, Value("back\\slash \"q\"", REG_SZ, Bytes("\\\"")));
    PutValue(key, Value("line breaks", REG_SZ, Bytes("a\r\nb")));
    PutValue(key, Value("zero inside", REG_SZ, {'a', 0, 'b'}));
    PutValue(key, Value("high bytes", REG_SZ, {0xe9, 0xff, 0x80}));
    PutValue(key, Value("expand empty", REG_EXPAND_SZ, {}));
    PutValue(key, Value("multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}));
    PutValue(key, Value("none", REG_NONE, {}));
    PutValue(key, Value("short dword", REG_DWORD, {1, 2}));
    PutValue(key, Value("dword max", REG_DWORD, {0xff, 0xff, 0xff, 0xff}));
    PutValue(key, Value("qword", 0xb, {1, 2, 3, 4, 5, 6, 7, 8}));
    PutValue(key, Value("huge type", 0xffffffff, {9}));
    PutValue(key, Value("empty binary", REG_BINARY, {}));
    std::vector<uint8_t> long_binary(1000);
    for (size_t i = 0; i < long_binary.size(); ++i) {
        long_binary[i] = static_cast<uint8_t>(i * 7);
    }
    PutValue(key, Value("long", REG_BINARY, long_binary));
    PutValue(root, Value("on the root", REG_DWORD, {0, 0, 0, 1}));
    AddSubkey(AddSubkey(key, "child"), "grandchild");

    const std::string text = WriteRegFile(root);
    EXPECT_EQ(Parse(text), root);
    EXPECT_EQ(WriteRegFile(Parse(text)), text);
    // Long hex lists are continued over lines that an editor shows whole.
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_LE(end - start, 80u);
        start = end + 2;
    }
}

TEST(RegFileFormat, ReadsWhatPeopleWrite) {
    const RegKey root = Parse(
        "\xEF\xBB\xBFREGEDIT4\n"
        "; a comment\n"
        "  [HKEY_LOCAL_MACHINE\\A]  \n"
        "\"X\" = DWORD:7E\n"
        "\"Bin\"=hex:1, 02 ,\\\n"
        "    0a,\\\n"
        "  ff\n"
        "[hkey_local_machine\\a\\B]\r\n"
        "\"S\"=hex(1):41,42,00\r\n"
        "[HKEY_LOCAL_MACHINE\\A]\n"
        "\"x\"=\"replaced\"\n");
    ASSERT_EQ(root.subkeys.size(), 1u);
    const RegKey& a = root.subkeys[0];
    EXPECT_EQ(a.name, "A");
    ASSERT_EQ(a.values.size(), 2u);
    EXPECT_EQ(a.values[0], Value("X", REG_SZ, Bytes("replaced")));
    EXPECT_EQ(a.values[1], Value("Bin", REG_BINARY, {1, 2, 0x0a, 0xff}));
    ASSERT_EQ(a.subkeys.size(), 1u);
    EXPECT_EQ(a.subkeys[0].values[0], Value("S", REG_SZ, Bytes("AB")));
}

TEST(RegFileFormat, SubkeysAreKeptInNameOrder) {
    const RegKey root = Parse(
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Port002]\n[HKEY_LOCAL_MACHINE\\port001]\n"
        "[HKEY_LOCAL_MACHINE\\Enum]\n[HKEY_LOCAL_MACHINE\\PORT003]\n");
    std::vector<std::string> names;
    for (const auto& sub : root.subkeys) {
        names.push_back(sub.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Enum", "port001", "Port002", "PORT003"}));
}

struct DamagedCase {
    std::string text;
    size_t line;
    const char* what;
};

class RegFileDamage : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(RegFileDamage, NamesTheLine) {
    RegKey root;
    RegParseError error;
    ASSERT_FALSE(ParseRegFile(GetParam().text, root, error));
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_EQ(error.what, GetParam().what);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegFileDamage,
    ::testing::Values(
        DamagedCase{"", 1, "missing REGEDIT4 header"},
        DamagedCase{"Windows Registry Editor Version 5.00\r\n", 1, "missing REGEDIT4 header"},
        DamagedCase{"REGEDIT4\n\ngarbage\n", 3, "bad line"},
        DamagedCase{"REGEDIT4\n\"A\"=dword:1\n", 2, "value outside a key"},
        DamagedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n", 2, "key outside HKEY_LOCAL_MACHINE"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINEX]\n", 2, "key outside HKEY_LOCAL_MACHINE"},
        DamagedCase{"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", 2,
                    "key deletion lines are not supported"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2, "bad key line"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2, "empty key name"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=-\n", 3,
                    "value deletion is not supported"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=\"x\\n\"\n", 3, "bad escape"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=\"abc\n", 3, "unterminated string"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\n", 3, "unterminated string"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"\"x\"\n", 3,
                    "expected '=' after the value name"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=\"x\" y\n", 3,
                    "unexpected text after the value"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=dword:123456789\n", 3, "bad dword"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=dword:\n", 3, "bad dword"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex(zz):00\n", 3, "bad value type"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=word:1\n", 3, "bad value data"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:01,0g\n", 3, "bad hex digit"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:123\n", 3, "bad hex digit"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:01,,02\n", 3, "bad hex digit"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:01,\\\n  02,\\\n  x1\n", 5,
                    "bad hex digit"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:01,\\\n", 3,
                    "truncated: the file ends inside a continued value"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=dword:0000007", 3,
                    "truncated: the last line has no line end"},
        DamagedCase{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=\"a\0b\"\n"s, 3,
                    "zero byte in the file"}));

TEST(RegFileFormat, RefusesOversizedNamesAndValues) {
    RegKey root;
    RegParseError error;
    const std::string long_name(256, 'k');
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + long_name + "]\n", root, error));
    EXPECT_EQ(error.what, "key name longer than 255 characters");
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"" + long_name + "\"=\"\"\n",
                              root, error));
    EXPECT_EQ(error.what, "value name longer than 255 characters");

    std::string deep = "REGEDIT4\n[HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 513; ++i) {
        deep += "\\k";
    }
    EXPECT_FALSE(ParseRegFile(deep + "]\n", root, error));
    EXPECT_EQ(error.what, "key path deeper than 512 levels");

    std::string big = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=hex:00";
    for (size_t i = 0; i < kMaxRegValueSize; ++i) {
        big += ",00";
    }
    EXPECT_FALSE(ParseRegFile(big + "\n", root, error));
    EXPECT_EQ(error.what, "value larger than 1 MiB");
}

}  // namespace
}  // namespace qorval::platform
