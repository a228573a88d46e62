// `wyvel32 programme N` end to end in a fresh prefix: its arguments, the default programme on
// a new registry, and a rejected value reported with its event code.

#include "host/programme_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/paths.h"
#include "platform/registry.h"

namespace {

class ProgrammeCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prefix_ = std::filesystem::temp_directory_path() /
                  ("wyvel32_programme_" + std::to_string(::getpid()));
        std::filesystem::remove_all(prefix_);
        std::filesystem::create_directories(prefix_);
        ::setenv("QORVAL_PREFIX", prefix_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QORVAL_PREFIX");
        std::filesystem::remove_all(prefix_);
    }

    int Run(std::vector<std::string_view> args) {
        out_.str("");
        err_.str("");
        return wyvel32::host::RunProgrammeCommand(args, out_, err_);
    }

    std::filesystem::path prefix_;
    std::ostringstream out_, err_;
};

TEST_F(ProgrammeCommandTest, RejectsAnythingButOnePortNumberFrom1To32) {
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {}, {"0"}, {"33"}, {"1x"}, {"-1"}, {""}, {"1", "2"}}) {
        EXPECT_EQ(Run(args), 2);
        EXPECT_NE(err_.str().find("usage"), std::string::npos);
    }
}

TEST_F(ProgrammeCommandTest, NewPrefixGetsTheDefaultKeyAndTheDefaultProgramme) {
    ASSERT_EQ(Run({"1"}), 0) << err_.str();
    const std::string trace = out_.str();
    for (const char* line :
         {"W16 REG 0x8A 0xF8F9 PCR", "W16 REG 0x96 0x0008 IOCR", "W16 REG 0x90 0x0021 CMCR",
          "W16 REG 0xAE 0x007E TC0R", "W16 REG 0x92 0x0001 HCR", "W16 REG 0x86 0x9080 CCR",
          "W16 REG 0x82 0x0606 CMR", "W16 REG 0xB2 0x1702 TMR", "W16 REG 0xA2 0x1702 RMR",
          "W16 REG 0x80 0xA000 CCAR"}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
    qorval::platform::Registry registry(qorval::platform::RegistryFile());
    uint32_t device = 0;
    ASSERT_TRUE(registry
                    .QueryDword("System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001",
                                "PCIDevice", device)
                    .ok());
    EXPECT_EQ(device, 1u);
}

TEST_F(ProgrammeCommandTest, RejectedValuePrintsItsEventAndFails) {
    ASSERT_EQ(Run({"2"}), 0);
    {
        qorval::platform::Registry registry(qorval::platform::RegistryFile());
        ASSERT_TRUE(
            registry
                .SetDword("System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port002",
                          "IdleState", 7)
                .ok());
    }
    EXPECT_EQ(Run({"2"}), 1);
    EXPECT_NE(err_.str().find("event 0xE007000C"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("TxIdle"), std::string::npos);
    EXPECT_TRUE(out_.str().empty());
}

}  // namespace
