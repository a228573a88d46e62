// lombex32-extcap: the driver host's ports as capture interfaces of a packet analyser that
// runs external capture programs (extcap(4)); installed into that analyser's extcap folder.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "analyser/extcap/extcap_capture.h"
#include "analyser/extcap/extcap_request.h"
#include "analyser/frame_time.h"
#include "analyser/idle_rest.h"
#include "platform/program_info.h"

namespace {

constexpr const char* kUsage =
    "usage: lombex32-extcap --extcap-interfaces\n"
    "       lombex32-extcap --extcap-interface wyvel32-N --extcap-dlts|--extcap-config\n"
    "       lombex32-extcap --extcap-interface wyvel32-N --capture --fifo FIFO\n";

std::atomic<bool> g_stop{false};

extern "C" void OnStop(int) {
    g_stop.store(true, std::memory_order_relaxed);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qorval::analyser;
    const qorval::platform::ProgramInfo program{
        .name = "lombex32-extcap",
        .summary = "Lists the ports of the running wyvel32 driver host as capture interfaces of a "
                   "packet\nanalyser and captures one of them into the analyser's FIFO as pcapng, "
                   "each frame\nstamped with the time it arrived. The analyser runs it from its "
                   "extcap folder.",
        .usage = kUsage};
    if (const auto status = qorval::platform::AnswerInfoRequest(program, argc, argv, std::cout)) {
        return *status;
    }
    const auto parsed = ParseExtcapArguments({argv + 1, argv + argc});
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "lombex32-extcap: " << *error << "\n" << kUsage;
        return 2;
    }
    const ExtcapRequest& request = std::get<ExtcapRequest>(parsed);
    switch (request.action) {
        case ExtcapRequest::Action::Interfaces: {
            // No driver host: no interfaces, which is no error for the analyser's list.
            SystemInfo info{};
            const bool found = QORVAL_GetSystemInfo(&info) == QORVAL_OK;
            std::cout << InterfaceListing(found ? &info : nullptr);
            return 0;
        }
        case ExtcapRequest::Action::Dlts:
            std::cout << DltListing();
            return 0;
        case ExtcapRequest::Action::Config:
            return 0;  // no options to set
        case ExtcapRequest::Action::Capture:
            break;
    }
    std::signal(SIGTERM, OnStop);
    std::signal(SIGINT, OnStop);
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away shows as a failed write
    // The library rests in a poll of a quiet port; the loop sleeps only where it cannot.
    IdleRest idle([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    const ExtcapCaptureEnvironment environment{
        &g_stop, [&idle](bool nothing) { idle.AfterPoll(nothing); }, WallClockNs};
    return RunExtcapCapture(request.port, request.fifo, environment, std::cerr);
}
