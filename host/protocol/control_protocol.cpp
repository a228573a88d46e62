#include "host/protocol/control_protocol.h"

#include <charconv>
#include <sstream>

namespace qorval::protocol {
namespace {

constexpr unsigned kMaxPortNumber = 32;
constexpr size_t kMaxWordLength = 64;

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) {
            break;
        }
        const size_t end = line.find_first_of(" \t\r", start);
        words.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        at = end == std::string_view::npos ? line.size() : end;
    }
    return words;
}

}  // namespace

std::string DeviceSocketName(unsigned port_number) {
    return std::string(kDeviceSocketPrefix) + "00" + std::to_string(port_number);
}

std::string FormatPortList(const std::vector<PortListing>& ports) {
    std::ostringstream out;
    out << "ok\n";
    for (const PortListing& port : ports) {
        out << "port " << port.number << ' ' << port.state << ' ' << port.socket_name << '\n';
    }
    return out.str();
}

std::string ParsePortList(std::string_view reply, std::vector<PortListing>& out) {
    out.clear();
    size_t at = 0;
    bool first = true;
    while (at < reply.size()) {
        size_t end = reply.find('\n', at);
        if (end == std::string_view::npos) {
            end = reply.size();
        }
        const std::string_view line = reply.substr(at, end - at);
        at = end + 1;
        const auto words = SplitWords(line);
        if (first) {
            first = false;
            if (words.size() != 1 || words[0] != "ok") {
                return line.substr(0, 200).empty() ? "empty reply"
                                                   : std::string(line.substr(0, 200));
            }
            continue;
        }
        if (words.empty()) {
            continue;
        }
        if (words.size() != 4 || words[0] != "port" || words[2].size() > kMaxWordLength ||
            words[3].size() > kMaxWordLength) {
            return "malformed port line";
        }
        PortListing port;
        const auto [ptr, ec] =
            std::from_chars(words[1].data(), words[1].data() + words[1].size(), port.number);
        if (ec != std::errc() || ptr != words[1].data() + words[1].size() || port.number == 0 ||
            port.number > kMaxPortNumber) {
            return "bad port number";
        }
        port.state = words[2];
        port.socket_name = words[3];
        out.push_back(std::move(port));
    }
    if (first) {
        return "empty reply";
    }
    return {};
}

}  // namespace qorval::protocol
