#include "host/protocol/device_protocol.h"

namespace qorval::protocol {
namespace {

constexpr uint32_t kRequestMagic = 0x31565251;  // "QRV1"
constexpr uint32_t kReplyMagic = 0x31505251;    // "QRP1"

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

uint32_t Get32(std::span<const uint8_t> in, size_t at) {
    return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8 |
           static_cast<uint32_t>(in[at + 2]) << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}

bool KnownFunction(uint8_t code) {
    switch (static_cast<Function>(code)) {
        case Function::Create:
        case Function::Read:
        case Function::Write:
        case Function::DeviceControl:
            return true;
    }
    return false;
}

}  // namespace

const char* RequestShapeProblem(uint8_t function, uint32_t output_length, uint32_t input_length) {
    if (!KnownFunction(function)) {
        return "request has an unknown function code";
    }
    if (output_length > kMaxPayload || input_length > kMaxPayload) {
        return "request length out of range";
    }
    const auto kind = static_cast<Function>(function);
    if ((kind == Function::Create && (input_length != 0 || output_length != 0)) ||
        (kind == Function::Read && input_length != 0) ||
        (kind == Function::Write && output_length != 0)) {
        return "request carries lengths its function does not take";
    }
    return nullptr;
}

std::vector<uint8_t> EncodeRequest(const Request& request) {
    std::vector<uint8_t> out;
    out.reserve(kRequestHeaderSize + request.input.size());
    Put32(out, kRequestMagic);
    Put32(out, request.sequence);
    out.push_back(static_cast<uint8_t>(request.function));
    out.insert(out.end(), 3, 0);
    Put32(out, request.control_code);
    Put32(out, request.output_length);
    Put32(out, static_cast<uint32_t>(request.input.size()));
    out.insert(out.end(), request.input.begin(), request.input.end());
    return out;
}

std::vector<uint8_t> EncodeReply(const Reply& reply) {
    return EncodeReply(reply.sequence, reply.status, reply.information, reply.output);
}

std::vector<uint8_t> EncodeReply(uint32_t sequence, uint32_t status, uint32_t information,
                                 std::span<const uint8_t> output) {
    std::vector<uint8_t> out;
    out.reserve(kReplyHeaderSize + output.size());
    Put32(out, kReplyMagic);
    Put32(out, sequence);
    Put32(out, status);
    Put32(out, information);
    Put32(out, static_cast<uint32_t>(output.size()));
    out.insert(out.end(), output.begin(), output.end());
    return out;
}

std::string DecodeRequest(std::span<const uint8_t> message, Request& out) {
    if (message.size() < kRequestHeaderSize) {
        return "request shorter than its header";
    }
    if (Get32(message, 0) != kRequestMagic) {
        return "request has a bad magic number";
    }
    const uint8_t function = message[8];
    const uint32_t output_length = Get32(message, 16);
    const uint32_t input_length = Get32(message, 20);
    if (const char* problem = RequestShapeProblem(function, output_length, input_length)) {
        return problem;
    }
    if (input_length != message.size() - kRequestHeaderSize) {
        return "request input length does not match the message";
    }
    out.sequence = Get32(message, 4);
    out.function = static_cast<Function>(function);
    out.control_code = Get32(message, 12);
    out.output_length = output_length;
    out.input.assign(message.begin() + kRequestHeaderSize, message.end());
    return {};
}

std::string DecodeReply(std::span<const uint8_t> message, Reply& out) {
    if (message.size() < kReplyHeaderSize) {
        return "reply shorter than its header";
    }
    if (Get32(message, 0) != kReplyMagic) {
        return "reply has a bad magic number";
    }
    const uint32_t output_length = Get32(message, 16);
    if (output_length > kMaxPayload || output_length != message.size() - kReplyHeaderSize) {
        return "reply output length does not match the message";
    }
    out.sequence = Get32(message, 4);
    out.status = Get32(message, 8);
    out.information = Get32(message, 12);
    out.output.assign(message.begin() + kReplyHeaderSize, message.end());
    return {};
}

}  // namespace qorval::protocol
