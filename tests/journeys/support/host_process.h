// `wyvel32 run` as a process, in a fresh prefix of its own, and the tools run against it.
//
//   DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "line"});
//   ASSERT_TRUE(host.Running()) << host.Describe();
//   host.SetPortValue(1, "Divisor", 0);              // before a tool opens port 1
//   auto tool = host.StartTool(kVintor, {"--port", "1", "--send", file, ...}, "sender");
//   auto status = tool->Wait();                      // exit status, or nullopt at the bound
//   host.Kill();  host.Start();                      // SIGKILL, then the next host on the prefix
//
// The object owns a temporary directory: the prefix is its "prefix" folder, and the host's and
// each tool's output files (NAME.out, NAME.err) and working directories lie beside it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/testing/temporary_directory.h"
#include "tests/journeys/support/child_process.h"

namespace qorval::journeys {

class DriverHostProcess {
  public:
    // Starts `wyvel32 run` with `run_arguments` and waits until it serves (Running()).
    explicit DriverHostProcess(std::vector<std::string> run_arguments);
    ~DriverHostProcess();
    DriverHostProcess(const DriverHostProcess&) = delete;
    DriverHostProcess& operator=(const DriverHostProcess&) = delete;

    // Starts the host again on the same prefix (after Kill); true once it says it runs and
    // every device socket it lists is there.
    bool Start();
    // SIGKILL, then reaped: the sockets stay behind, as after a crash.
    void Kill();
    bool Running();
    // The host's command line, status and output, for a failing check's message.
    std::string Describe() const;

    const std::filesystem::path& Directory() const { return directory_.Path(); }
    const std::filesystem::path& Prefix() const { return prefix_; }
    // QORVAL_PREFIX for the tools.
    Environment ToolEnvironment() const;

    // One DWORD value of a port's registry key. Line and clock values (such as Divisor) take
    // effect at the port's next open, so set them before the tool opens the port.
    bool SetPortValue(unsigned port, std::string_view name, uint32_t value);

    // A program run against this host, in the working directory `name` beside the prefix
    // (made when missing), its output in NAME.out and NAME.err there.
    std::unique_ptr<ChildProcess> StartTool(const char* program, std::vector<std::string> args,
                                            const std::string& name);
    // A folder beside the prefix for a test's files (made when missing).
    std::filesystem::path Folder(const std::string& name) const;

    // A control command (`wyvel32 surprise-remove 1`, `wyvel32 status`) run to its end; its
    // exit status, with its standard output in `output` when given.
    int Control(std::vector<std::string> args, std::string* output = nullptr);

  private:
    qorval::testing::TemporaryDirectory directory_{"qorval_journey"};
    std::filesystem::path prefix_;
    std::vector<std::string> run_arguments_;
    std::unique_ptr<ChildProcess> host_;
    int starts_ = 0;
    int controls_ = 0;
};

}  // namespace qorval::journeys
