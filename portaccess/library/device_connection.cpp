#include "portaccess/library/device_connection.h"

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
            return QORVAL_PORT_NUMBER;
        case SeqpacketClient::ConnectResult::Refused:
        case SeqpacketClient::ConnectResult::Failed:
            return QORVAL_GENERAL_ERROR;
    }
    // The library's handles ask for synchronous I/O: a read never waits for a frame.
    protocol::Request create;
    create.function = protocol::Function::Create;
    create.control_code = protocol::kCreateSynchronous;
    const Completion done = connection->Transact(create);
    if (!done.delivered) {
        return QORVAL_GENERAL_ERROR;
    }
    const uint32_t result = ResultFromStatus(RequestKind::Open, done.status);
    if (result == QORVAL_OK) {
        out = std::move(connection);
    }
    return result;
}

Completion DeviceConnection::Read(uint32_t length) {
    protocol::Request request;
    request.function = protocol::Function::Read;
    request.output_length = length;
    return Transact(request);
}

Completion DeviceConnection::Write(const uint8_t* data, uint32_t length) {
    protocol::Request request;
    request.function = protocol::Function::Write;
    request.input.assign(data, data + length);
    return Transact(request);
}

Completion DeviceConnection::Control(uint32_t code, const void* input, uint32_t input_length,
                                     uint32_t output_length) {
    protocol::Request request;
    request.function = protocol::Function::DeviceControl;
    request.control_code = code;
    request.output_length = output_length;
    const auto* bytes = static_cast<const uint8_t*>(input);
    request.input.assign(bytes, bytes + input_length);
    return Transact(request);
}

Completion DeviceConnection::Transact(protocol::Request& request) {
    std::lock_guard lock(mutex_);
    Completion done;
    if (broken_) {
        return done;
    }
    request.sequence = next_sequence_++;
    std::vector<uint8_t> message;
    protocol::Reply reply;
    if (!client_.Send(protocol::EncodeRequest(request)) ||
        !client_.Receive(message, protocol::kReplyHeaderSize + protocol::kMaxPayload,
                         kReplyTimeoutMs) ||
        !protocol::DecodeReply(message, reply).empty() || reply.sequence != request.sequence ||
        reply.output.size() > request.output_length) {
        // After a lost or garbled answer the request/reply pairing is gone for good.
        broken_ = true;
        client_.Close();
        return done;
    }
    done.delivered = true;
    done.status = reply.status;
    done.information = reply.information;
    done.output = std::move(reply.output);
    return done;
}

}  // namespace qorval::library
