// The capture of one interface: the port opened through the port access library, every frame
// that arrives there written as a packet of a pcapng stream into the packet analyser's FIFO,
// stamped with the time it arrived, until the analyser stops the capture (a signal) or goes
// away (the FIFO's reader is gone).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace qorval::analyser {

struct ExtcapCaptureEnvironment {
    const std::atomic<bool>* stop;   // set by SIGTERM and SIGINT
    // Called after every step, with whether nothing waited at the port (IdleRest).
    std::function<void(bool idle)> afterPoll;
    std::function<uint64_t()> clockNs;  // stamps frames the library did not (nanoseconds since 1970)
};

// Opens the port before the FIFO, so that once the analyser sees the stream begin, every frame
// that reaches the port is in it. 0 after a capture the analyser ended (a stop, or its reader
// gone), 1 when the port or the FIFO cannot be opened or the port is lost during the capture
// (the driver host stopped): the reason on `err`, which the analyser shows.
int RunExtcapCapture(uint16_t port, const std::string& fifo,
                     const ExtcapCaptureEnvironment& environment, std::ostream& err);

}  // namespace qorval::analyser
