#include "portaccess/library/system_info.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/protocol/control_protocol.h"
#include "platform/paths.h"
#include "portaccess/library/transport.h"
#include "portaccess/library/seqpacket_client.h"

namespace qorval::library {
namespace {

// Entry i describes driver type i; only the adapter driver of this suite can be present: the
// SCC drivers are outside it.
constexpr const char* kDriverNames[QORVAL_MAX_DRIVERS] = {"HESTABE5", "FENDAR5", "GORLIN5",
                                                          "WYVEL32"};
constexpr size_t kMaxControlReply = 16384;

void FillDriverEntries(SystemInfo& info) {
    std::memset(&info, 0, sizeof(info));
    info.driverCount = QORVAL_MAX_DRIVERS;
    for (uint16_t type = 0; type < QORVAL_MAX_DRIVERS; ++type) {
        SystemInfoDriver& driver = info.drivers[type];
        driver.driverType = type;
        std::snprintf(driver.name, sizeof(driver.name), "%s", kDriverNames[type]);
        for (unsigned port = 0; port < QORVAL_MAX_PORTS_PER_DRIVER; ++port) {
            std::snprintf(driver.ports[port].name, sizeof(driver.ports[port].name), "Port%03u",
                          port + 1);
        }
    }
}

}  // namespace

uint32_t QuerySystemInfo(SystemInfo& info) {
    FillDriverEntries(info);
    SeqpacketClient control;
    if (control.Connect(platform::RunDir() / std::string(protocol::kStatusSocketName)) !=
        SeqpacketClient::ConnectResult::Connected) {
        return QORVAL_GENERAL_ERROR;
    }
    static constexpr std::string_view kList = "list";
    std::vector<uint8_t> reply(kMaxControlReply);
    size_t size = 0;
    if (!control.Send(std::span(reinterpret_cast<const uint8_t*>(kList.data()), kList.size())) ||
        !control.Receive(reply, size, kReplyTimeoutMs)) {
        return QORVAL_GENERAL_ERROR;
    }
    reply.resize(size);
    std::vector<protocol::PortListing> ports;
    if (!protocol::ParsePortList(
             std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()), ports)
             .empty()) {
        return QORVAL_GENERAL_ERROR;
    }
    // The host answering means the driver is loaded, with or without started ports.
    SystemInfoDriver& wyvel = info.drivers[QORVAL_DRIVER_WYVEL32];
    wyvel.present = 1;
    for (const protocol::PortListing& port : ports) {
        if (port.number > QORVAL_MAX_PORTS_PER_DRIVER) {
            continue;  // the record has room for four ports per driver
        }
        wyvel.ports[port.number - 1].present = port.started() ? 1 : 0;
        if (port.number > wyvel.portCount) {
            wyvel.portCount = static_cast<uint16_t>(port.number);
        }
    }
    return QORVAL_OK;
}

}  // namespace qorval::library
