#include "platform/program_info.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace qorval::platform {
namespace {

constexpr ProgramInfo kInfo{
    .name = "kessup",
    .summary = "The bit error rate tester.",
    .usage = "usage: kessup --port N\n",
};

std::optional<int> Answer(std::vector<const char*> args, std::ostream& out) {
    args.insert(args.begin(), "kessup");
    return AnswerInfoRequest(kInfo, static_cast<int>(args.size()), args.data(), out);
}

TEST(ProgramInfo, HelpShowsUsageSummaryAndOptionsAndSucceeds) {
    std::ostringstream out;
    ASSERT_EQ(Answer({"--help"}, out), 0);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("usage: kessup --port N\n\nThe bit error rate tester.\n", 0), 0u) << text;
    EXPECT_NE(text.find("--version"), std::string::npos);
    EXPECT_NE(text.find("man kessup"), std::string::npos);
    EXPECT_EQ(text.find("\n\n\n"), std::string::npos) << "usage's own line end is not doubled";
}

TEST(ProgramInfo, VersionIsTheProjectsOnOneLine) {
    std::ostringstream out;
    ASSERT_EQ(Answer({"--version"}, out), 0);
    EXPECT_EQ(out.str(), std::string("kessup (Qorval suite) ") + QORVAL_EXPECTED_VERSION + "\n");
}

TEST(ProgramInfo, EverythingElseIsLeftToTheProgram) {
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {}, {"--port", "1"}, {"--help", "--port"}, {"--port", "--help"}, {"-h"},
             {"--versions"}, {"help"}}) {
        std::ostringstream out;
        EXPECT_FALSE(Answer(args, out).has_value()) << args.size();
        EXPECT_TRUE(out.str().empty());
    }
}

TEST(ProgramInfo, AnOutputThatCannotBeWrittenFails) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_EQ(Answer({"--help"}, out), 1);
    EXPECT_EQ(Answer({"--version"}, out), 1);
}

}  // namespace
}  // namespace qorval::platform
