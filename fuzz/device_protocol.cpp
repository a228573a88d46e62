// Feeds arbitrary bytes to the device socket decoders: a malformed message must be refused
// with a reason, and an accepted one must encode back to the same bytes.
#include "host/protocol/device_protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "host/protocol/control_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> message(data, size);
    qorval::protocol::Request request;
    if (qorval::protocol::DecodeRequest(message, request).empty()) {
        const auto again = qorval::protocol::EncodeRequest(request);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
            // Bytes 9-11 are padding the encoder writes as zero; anything else is a fault.
            for (size_t i = 0; i < size; ++i) {
                if (again[i] != data[i] && (i < 9 || i > 11)) {
                    std::abort();
                }
            }
        }
    }
    qorval::protocol::Reply reply;
    if (qorval::protocol::DecodeReply(message, reply).empty()) {
        if (qorval::protocol::EncodeReply(reply).size() != size) {
            std::abort();
        }
    }
    std::vector<qorval::protocol::PortListing> ports;
    (void)qorval::protocol::ParsePortList(
        std::string_view(reinterpret_cast<const char*>(data), size), ports);
    return 0;
}
