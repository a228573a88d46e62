#include "analyser/extcap/extcap_capture.h"

#include <ostream>
#include <string>
#include <vector>

#include "analyser/extcap/extcap_request.h"
#include "analyser/pcapng_writer.h"
#include "analyser/timed_read.h"
#include "portaccess/driver_host_hint.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {
namespace {

constexpr const char* kProgram = "lombex32-extcap: ";

enum class Step { TookFrames, Idle, StreamGone, PortLost };

// Takes every frame waiting at the port into the stream.
Step TakeWaitingFrames(QORVAL_HANDLE handle, std::vector<uint8_t>& buffer, PcapngWriter& writer,
                       uint32_t interfaceId, const ExtcapCaptureEnvironment& environment,
                       uint32_t& result) {
    uint16_t waiting = 0;
    uint16_t txFree = 0;
    result = QORVAL_GetBufferCount(handle, &waiting, &txFree);
    if (result != QORVAL_OK) {
        return Step::PortLost;  // the host stopped, or the port went away
    }
    bool tookAny = false;
    for (uint16_t i = 0; i < waiting; ++i) {
        uint32_t length = 0;
        uint64_t arrivalNs = 0;
        const uint32_t read =
            ReadTimedFrame(handle, buffer.data(), static_cast<uint16_t>(buffer.size()), &length,
                           &arrivalNs, environment.clockNs);
        if (read == QORVAL_OK && length == 0) {
            break;
        }
        tookAny = true;
        if (!WriteFramePacket(writer, interfaceId,
                              {{buffer.data(), length}, false, read, arrivalNs})) {
            return Step::StreamGone;
        }
    }
    if (!tookAny) {
        // Nothing written shows a reader that left: ask the pipe.
        return writer.ReaderGone() ? Step::StreamGone : Step::Idle;
    }
    return writer.Flush() ? Step::TookFrames : Step::StreamGone;
}

}  // namespace

int RunExtcapCapture(uint16_t port, const std::string& fifo,
                     const ExtcapCaptureEnvironment& environment, std::ostream& err) {
    QORVAL_HANDLE handle = 0;
    const uint32_t opened = QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, port, &handle);
    if (opened != QORVAL_OK) {
        err << kProgram << "cannot open Wyvel32 port " << port << " (result " << opened << ")";
        if (opened == QORVAL_SHARING_VIOLATION) {
            err << ": another program has it open";
        } else if (opened == QORVAL_GENERAL_ERROR || opened == QORVAL_PORT_NUMBER) {
            err << "\n" << kNoDriverHost;
        }
        err << "\n";
        return 1;
    }
    // A buffer of the port's largest frame takes every frame whole.
    PortInfo info{};
    const bool described = QORVAL_GetPortInfo(handle, &info) == QORVAL_OK && info.maxRxFrame != 0;
    std::vector<uint8_t> buffer(described ? info.maxRxFrame : UINT16_MAX);
    PcapngWriter writer;
    std::string problem;
    if (!writer.OpenPipe(fifo, &problem)) {
        err << kProgram << "cannot write to " << problem << "\n";
        (void)QORVAL_PortClose(handle);
        return 1;
    }
    const uint32_t interfaceId = writer.AddInterface(InterfaceName(port));
    Step step = writer.Flush() ? Step::Idle : Step::StreamGone;
    uint32_t result = QORVAL_OK;
    while (step != Step::StreamGone && step != Step::PortLost &&
           !environment.stop->load(std::memory_order_relaxed)) {
        step = TakeWaitingFrames(handle, buffer, writer, interfaceId, environment, result);
        if (environment.afterPoll) {
            environment.afterPoll(step == Step::Idle);
        }
    }
    (void)writer.Close();
    (void)QORVAL_PortClose(handle);
    if (step == Step::PortLost) {
        err << kProgram << "lost Wyvel32 port " << port << " (result " << result << ")\n";
        return 1;
    }
    return 0;
}

}  // namespace qorval::analyser
