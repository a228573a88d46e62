// The figures kessup prints at the end of a run from the shell ("tx_frames=N rx_frames=M ...").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::journeys {

// The number after "name=" in the last summary line of `output`, or nullopt.
inline std::optional<uint64_t> SummaryValue(const std::string& output, std::string_view name) {
    const size_t line = output.rfind("tx_frames=");
    if (line == std::string::npos) {
        return std::nullopt;
    }
    const std::string key = " " + std::string(name) + "=";
    // The first field has no space before it.
    const size_t at = name == "tx_frames" ? line : output.find(key, line);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const size_t digits = output.find('=', at) + 1;
    size_t end = digits;
    while (end < output.size() && output[end] >= '0' && output[end] <= '9') {
        ++end;
    }
    if (end == digits) {
        return std::nullopt;
    }
    return std::stoull(output.substr(digits, end - digits));
}

}  // namespace qorval::journeys
