#include "tests/journeys/support/host_process.h"

#include <signal.h>

#include <cstdio>
#include <sstream>

#include "driver/driver_context.h"
#include "platform/registry.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

constexpr std::string_view kRunning = "wyvel32: running";

// The device socket paths the host lists at start ("port N STATE PATH" lines).
std::vector<std::filesystem::path> ListedSockets(const std::string& output) {
    std::vector<std::filesystem::path> sockets;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("port ", 0) == 0) {
            const size_t path = line.rfind(' ');
            sockets.emplace_back(line.substr(path + 1));
        }
    }
    return sockets;
}

}  // namespace

DriverHostProcess::DriverHostProcess(std::vector<std::string> run_arguments)
    : run_arguments_(std::move(run_arguments)) {
    prefix_ = directory_.Path() / "prefix";
    std::error_code ec;
    std::filesystem::create_directories(prefix_, ec);
    // Private to its owner, as the host asks of a prefix (else it warns at every start).
    std::filesystem::permissions(prefix_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ec);
    Start();
}

DriverHostProcess::~DriverHostProcess() {
    Kill();
}

Environment DriverHostProcess::ToolEnvironment() const {
    return {{"QORVAL_PREFIX", prefix_.string()}};
}

bool DriverHostProcess::Start() {
    Kill();
    std::vector<std::string> argv = {kWyvel32, "run"};
    argv.insert(argv.end(), run_arguments_.begin(), run_arguments_.end());
    host_ = std::make_unique<ChildProcess>(ProcessOptions{
        argv, directory_.Path(), "wyvel32-" + std::to_string(++starts_), ToolEnvironment()});
    if (!host_->Started() || !host_->WaitForOutput(kRunning)) {
        return false;
    }
    for (const auto& socket : ListedSockets(host_->Output())) {
        std::error_code ec;
        if (!std::filesystem::exists(socket, ec)) {
            return false;
        }
    }
    return true;
}

void DriverHostProcess::Kill() {
    if (host_) {
        host_->Kill();
    }
}

bool DriverHostProcess::Running() {
    return host_ && host_->Running() && host_->Output().find(kRunning) != std::string::npos;
}

std::string DriverHostProcess::Describe() const {
    return host_ ? host_->Describe() : std::string("the host was never started\n");
}

bool DriverHostProcess::SetPortValue(unsigned port, std::string_view name, uint32_t value) {
    char key[16];
    std::snprintf(key, sizeof key, "\\Port%03u", port);
    const std::string path = std::string(wyvel32::kServiceKeyPath) + "\\Parameters" + key;
    platform::Registry registry(prefix_ / "system.reg");
    return registry.SetDword(path, name, value).ok();
}

std::filesystem::path DriverHostProcess::Folder(const std::string& name) const {
    const auto folder = directory_.Path() / name;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::unique_ptr<ChildProcess> DriverHostProcess::StartTool(const char* program,
                                                           std::vector<std::string> args,
                                                           const std::string& name) {
    args.insert(args.begin(), program);
    return std::make_unique<ChildProcess>(
        ProcessOptions{std::move(args), Folder(name), name, ToolEnvironment()});
}

int DriverHostProcess::Control(std::vector<std::string> args, std::string* output) {
    args.insert(args.begin(), kWyvel32);
    ChildProcess control(ProcessOptions{std::move(args), directory_.Path(),
                                        "control-" + std::to_string(++controls_),
                                        ToolEnvironment()});
    const auto status = control.Wait();
    if (output != nullptr) {
        *output = control.Output();
    }
    return status.value_or(-1);
}

}  // namespace qorval::journeys
