#include "host/host_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace wyvel32::host {

namespace {

constexpr unsigned kMaxPorts = 32;

bool ParseProbability(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && std::isfinite(value) &&
           value >= 0.0 && value <= 1.0;
}

}  // namespace

std::string ParseHostOptions(std::span<const std::string_view> args,
                             qorval::host::BusOptions& options) {
    using qorval::host::WireKind;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view option = args[i];
        if (option == "--stream-remote") {
            options.stream_policy.remote_tcp = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return "missing value after " + std::string(option);
        }
        const std::string_view value = args[++i];
        if (option == "--ports") {
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), options.ports);
            if (ec != std::errc() || end != value.data() + value.size() || options.ports < 1 ||
                options.ports > kMaxPorts) {
                return "--ports takes a number from 1 to 32";
            }
        } else if (option == "--wire") {
            if (value == "pair") {
                options.wiring = WireKind::Pair;
            } else if (value == "loopback") {
                options.wiring = WireKind::Loopback;
            } else if (value == "open") {
                options.wiring = WireKind::Open;
            } else {
                return "--wire takes pair, loopback or open";
            }
        } else if (option == "--rate") {
            if (value != "unlimited" && value != "line") {
                return "--rate takes unlimited or line";
            }
            options.unlimited_rate = value == "unlimited";
        } else if (option == "--ber" || option == "--drop") {
            double probability = 0;
            if (!ParseProbability(value, probability)) {
                return std::string(option) + " takes a probability from 0 to 1";
            }
            (option == "--ber" ? options.bit_error_rate : options.drop_rate) = probability;
        } else if (option == "--stream") {
            // <n>=unix:<path> or <n>=tcp:[addr:]<port>; the address is checked when it is wired.
            const size_t equals = value.find('=');
            unsigned port = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + equals, port);
            if (equals == std::string_view::npos || ec != std::errc() ||
                end != value.data() + equals || port < 1 || port > kMaxPorts) {
                return "--stream takes <port>=unix:<path> or <port>=tcp:[addr:]<port>";
            }
            options.streams.emplace_back(port, std::string(value.substr(equals + 1)));
        } else if (option == "--stream-dir") {
            // A folder where Unix byte-stream sockets may be made besides the prefix.
            const std::filesystem::path folder(value);
            std::error_code error;
            if (!folder.is_absolute() || !std::filesystem::is_directory(folder, error)) {
                return "--stream-dir takes an existing folder, as an absolute path";
            }
            options.stream_policy.folders.push_back(folder);
        } else {
            return "unknown option " + std::string(option);
        }
    }
    return {};
}

}  // namespace wyvel32::host
