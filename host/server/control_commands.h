#pragma once
// The control socket's commands, parsed and checked, then handed to the host.
//
//   list                              the devices: "port <n> <state> <socket>" per line
//   status                            the same, then "stream <n> <address> peer <who>" (or
//                                     "no peer") for each port wired to a byte stream
//   add                               a new simulated PCI function arrives and is started
//   start <n> | stop <n>              start a stopped device; query-stop and stop a device
//   surprise-remove <n> | remove <n>  surprise removal; query-remove and remove
//   sleep <n> | wake <n>              system power: sleeping (device D3) and working (D0)
//   wire pair <a> <b> | wire loopback <n> | wire open <n>
//   wire stream <n> unix:<path> | wire stream <n> tcp:[<addr>:]<port>
//                                     the line's far end is a byte-stream socket
//   ber <probability> [<n>]           bit error rate on the line of port n, or on every line
//   drop <probability> [<n>]          share of frames the line loses
//   rate unlimited|line               line speed: unlimited, or the clock programme's bit rate
//
// Every answer starts with "ok" or "error: ".

#include <string>
#include <string_view>
#include <vector>

#include "host/protocol/control_protocol.h"

namespace qorval::host {

enum class WireKind { Pair, Loopback, Open, Stream };
enum class PowerAction { Sleep, Wake };

struct StreamListing {
    unsigned port = 0;
    std::string address;  // as bound: "unix:/path", "tcp:127.0.0.1:4001"
    std::string peer;     // who is connected; empty when nobody is
};

// What the commands act on. Each call returns an empty string on success, else the reason.
class HostControl {
  public:
    virtual ~HostControl() = default;
    virtual std::vector<protocol::PortListing> List() = 0;
    virtual std::string Add(unsigned* port_number) = 0;
    virtual std::string Start(unsigned port) = 0;
    virtual std::string Stop(unsigned port) = 0;
    virtual std::string SurpriseRemove(unsigned port) = 0;
    virtual std::string Remove(unsigned port) = 0;
    virtual std::string Power(unsigned port, PowerAction action) = 0;
    virtual std::string Wire(WireKind kind, unsigned a, unsigned b) = 0;
    // Wires the port's line to a byte-stream socket at `address`; `bound` gets the address
    // actually listened on (a TCP port 0 becomes the one chosen).
    virtual std::string WireStream(unsigned port, const std::string& address, std::string* bound) {
        (void)port;
        (void)address;
        (void)bound;
        return "byte-stream wiring is not available";
    }
    virtual std::vector<StreamListing> Streams() { return {}; }
    // port 0: every line
    virtual std::string SetBitErrorRate(double probability, unsigned port) = 0;
    virtual std::string SetDropRate(double probability, unsigned port) = 0;
    virtual std::string SetLineRate(bool unlimited) = 0;
};

std::string RunControlCommand(HostControl& host, std::string_view command);

// Whether a command only reads (list, status): all that the shared status socket answers.
bool IsReadOnlyCommand(std::string_view command);

}  // namespace qorval::host
