#include "analyser/extcap/extcap_request.h"

#include <algorithm>
#include <charconv>

#include "analyser/pcapng_writer.h"
#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr std::string_view kInterfacePrefix = "wyvel32-";
constexpr uint16_t kLargestPort = 32;  // as the port access library opens them
constexpr const char* kExtcapLine = "extcap {version=1.0.0}\n";
constexpr const char* kInterfaceLine = "interface {value=%s}{display=Wyvel32 port %u}\n";
constexpr const char* kDltLine = "dlt {number=%u}{name=SDLC}{display=SDLC frames}\n";

// Options that take a value as the next argument (any option may give it after "="), and
// options that only this program's caller cares about.
bool TakesValue(std::string_view option) {
    return option == "--extcap-interface" || option == "--fifo" ||
           option == "--extcap-capture-filter" || option == "--extcap-control-in" ||
           option == "--extcap-control-out" || option == "--debug-file" ||
           option == "--extcap-reload-option";
}
bool Ignored(std::string_view option) {
    return option == "--extcap-version" || option == "--extcap-control-in" ||
           option == "--extcap-control-out" || option == "--debug" || option == "--debug-file" ||
           option == "--extcap-reload-option";
}

}  // namespace

std::string InterfaceName(uint16_t port) {
    return std::string(kInterfacePrefix) + std::to_string(port);
}

std::optional<uint16_t> PortOfInterface(std::string_view name) {
    if (!name.starts_with(kInterfacePrefix)) {
        return std::nullopt;
    }
    name.remove_prefix(kInterfacePrefix.size());
    uint16_t port = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), port);
    if (error != std::errc{} || end != name.data() + name.size() || name.starts_with('0') ||
        port == 0 || port > kLargestPort) {
        return std::nullopt;
    }
    return port;
}

std::variant<ExtcapRequest, std::string> ParseExtcapArguments(const std::vector<std::string>& args) {
    ExtcapRequest request;
    std::optional<ExtcapRequest::Action> action;
    std::string interfaceName;
    std::string filter;
    auto choose = [&](ExtcapRequest::Action chosen) -> bool {
        if (action && *action != chosen) {
            return false;
        }
        action = chosen;
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view option = args[i];
        std::optional<std::string> value;
        if (const size_t equals = option.find('='); equals != std::string_view::npos) {
            value = std::string(option.substr(equals + 1));
            option = option.substr(0, equals);
        } else if (TakesValue(option)) {
            if (i + 1 >= args.size()) {
                return std::string(option) + " needs a value";
            }
            value = args[++i];
        }
        bool chosen = true;
        if (Ignored(option)) {
            continue;
        } else if (option == "--extcap-interfaces") {
            chosen = choose(ExtcapRequest::Action::Interfaces);
        } else if (option == "--extcap-dlts") {
            chosen = choose(ExtcapRequest::Action::Dlts);
        } else if (option == "--extcap-config") {
            chosen = choose(ExtcapRequest::Action::Config);
        } else if (option == "--capture") {
            chosen = choose(ExtcapRequest::Action::Capture);
        } else if (option == "--extcap-interface" && value) {
            interfaceName = *value;
        } else if (option == "--fifo" && value) {
            request.fifo = *value;
        } else if (option == "--extcap-capture-filter" && value) {
            filter = *value;
        } else {
            return "unknown argument " + args[i];
        }
        if (!chosen) {
            return std::string("more than one of --extcap-interfaces, --extcap-dlts, "
                               "--extcap-config and --capture");
        }
    }
    if (!action) {
        return std::string("nothing asked: --extcap-interfaces, --extcap-dlts, --extcap-config "
                           "or --capture");
    }
    request.action = *action;
    if (request.action == ExtcapRequest::Action::Interfaces) {
        return request;
    }
    const auto port = PortOfInterface(interfaceName);
    if (!port) {
        return "no such interface: '" + interfaceName + "' (the interfaces are wyvel32-1, "
               "wyvel32-2, ...)";
    }
    request.port = *port;
    if (request.action == ExtcapRequest::Action::Capture) {
        if (request.fifo.empty()) {
            return std::string("--capture needs --fifo");
        }
        // Frames are taken whole from the driver; there is nothing to filter them with.
        if (!filter.empty()) {
            return std::string("capture filters are not supported on these interfaces; use a "
                               "display filter");
        }
    }
    return request;
}

std::string InterfaceListing(const SystemInfo* info) {
    std::string lines = kExtcapLine;
    if (info == nullptr) {
        return lines;
    }
    const SystemInfoDriver& driver = info->drivers[QORVAL_DRIVER_WYVEL32];
    if (!driver.present) {
        return lines;
    }
    const unsigned ports = std::min<unsigned>(driver.portCount, QORVAL_MAX_PORTS_PER_DRIVER);
    for (unsigned i = 0; i < ports; ++i) {
        if (driver.ports[i].present) {
            const auto port = static_cast<uint16_t>(i + 1);
            lines += StringPrintf(kInterfaceLine, InterfaceName(port).c_str(), unsigned{port});
        }
    }
    return lines;
}

std::string DltListing() {
    return StringPrintf(kDltLine, unsigned{PcapngWriter::kLinkTypeSdlc});
}

}  // namespace qorval::analyser
