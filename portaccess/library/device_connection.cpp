#include "portaccess/library/device_connection.h"

#include <array>
#include <string>

#include "host/protocol/descriptor_passing.h"
#include "host/protocol/ring_region.h"
#include "portaccess/library/message_transport.h"
#include "portaccess/library/ring_transport.h"
#include "portaccess/library/status_map.h"
#include "portaccess/qorval32.h"

namespace qorval::library {

uint32_t DeviceConnection::Open(const std::filesystem::path& socket_path,
                                std::unique_ptr<DeviceConnection>& out) {
    auto connection = std::unique_ptr<DeviceConnection>(new DeviceConnection());
    switch (connection->client_.Connect(socket_path)) {
        case SeqpacketClient::ConnectResult::Connected:
            break;
        case SeqpacketClient::ConnectResult::NoSuchSocket:
        case SeqpacketClient::ConnectResult::NoListener:
            return QORVAL_PORT_NUMBER;  // no host serves this port
        case SeqpacketClient::ConnectResult::Busy:
        case SeqpacketClient::ConnectResult::Failed:
            return QORVAL_GENERAL_ERROR;
    }
    uint32_t status = 0;
    if (!connection->Create(status)) {
        return QORVAL_GENERAL_ERROR;
    }
    const uint32_t result = ResultFromStatus(RequestKind::Open, status);
    if (result == QORVAL_OK) {
        out = std::move(connection);
    }
    return result;
}

bool DeviceConnection::Create(uint32_t& status) {
    namespace ring = protocol::ring;
    // The library's handles ask for synchronous I/O (a read never waits for a frame) and for
    // the request ring.
    protocol::Request create;
    create.sequence = 1;
    create.function = protocol::Function::Create;
    create.control_code = protocol::kCreateSynchronous | protocol::kCreateRing;
    std::array<uint8_t, protocol::kReplyHeaderSize + ring::kDescriptionSize> buffer{};
    size_t size = 0;
    std::vector<int> descriptors;
    protocol::Reply reply;
    if (!client_.Send(protocol::EncodeRequest(create)) ||
        !client_.ReceiveWithDescriptors(buffer, size, descriptors, ring::kDescriptorCount,
                                        kReplyTimeoutMs)) {
        return false;
    }
    if (!protocol::DecodeReply(std::span(buffer).first(size), reply).empty() ||
        reply.sequence != create.sequence) {
        protocol::CloseAll(descriptors);
        return false;
    }
    status = reply.status;
    if (reply.status != 0) {
        protocol::CloseAll(descriptors);
        return true;
    }
    if (reply.output.empty() && descriptors.empty()) {
        transport_ = std::make_unique<MessageTransport>(client_);  // a host without the ring
        return true;
    }
    if (!ring::DescribesThisRing(reply.output)) {
        protocol::CloseAll(descriptors);
        return false;
    }
    std::string problem;
    auto region = ring::RingRegion::Adopt(std::move(descriptors), &problem);
    if (!region) {
        return false;
    }
    transport_ = std::make_unique<RingTransport>(std::move(region), client_.fd());
    on_ring_ = true;
    return true;
}

Completion DeviceConnection::Read(std::span<uint8_t> buffer) {
    return transport_->Carry({protocol::Function::Read, 0, {}, buffer});
}

Completion DeviceConnection::Write(std::span<const uint8_t> frame) {
    const Completion done = transport_->Carry({protocol::Function::Write, 0, frame, {}});
    if (done.delivered && done.status == 0) {
        wrote_.store(true, std::memory_order_relaxed);
    }
    return done;
}

Completion DeviceConnection::Control(uint32_t code, std::span<const uint8_t> input,
                                     std::span<uint8_t> output) {
    return transport_->Carry({protocol::Function::DeviceControl, code, input, output});
}

}  // namespace qorval::library
