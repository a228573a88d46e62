#include "portaccess/library/message_transport.h"

#include <cstring>

namespace qorval::library {

MessageTransport::MessageTransport(SeqpacketClient& client)
    : client_(client), reply_buffer_(protocol::kReplyHeaderSize + protocol::kMaxPayload) {}

Completion MessageTransport::Carry(const Call& call) {
    std::lock_guard lock(mutex_);
    Completion done;
    if (broken_) {
        return done;
    }
    protocol::Request request;
    request.sequence = next_sequence_++;
    request.function = call.function;
    request.control_code = call.control_code;
    request.output_length = static_cast<uint32_t>(call.output.size());
    request.input.assign(call.input.begin(), call.input.end());
    size_t size = 0;
    protocol::Reply reply;
    if (!client_.Send(protocol::EncodeRequest(request)) ||
        !client_.Receive(reply_buffer_, size, kReplyTimeoutMs) ||
        !protocol::DecodeReply(std::span(reply_buffer_).first(size), reply).empty() ||
        reply.sequence != request.sequence || reply.output.size() > call.output.size()) {
        // After a lost or garbled answer the request/reply pairing is gone for good.
        broken_ = true;
        client_.Close();
        return done;
    }
    done.delivered = true;
    done.status = reply.status;
    done.information = reply.information;
    done.output_size = reply.output.size();
    if (done.output_size != 0) {
        std::memcpy(call.output.data(), reply.output.data(), done.output_size);
    }
    return done;
}

}  // namespace qorval::library
