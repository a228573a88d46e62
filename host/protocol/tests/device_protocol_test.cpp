#include "host/protocol/device_protocol.h"

#include <gtest/gtest.h>

namespace qorval::protocol {
namespace {

Request SampleWrite() {
    Request request;
    request.sequence = 7;
    request.function = Function::Write;
    request.input = {1, 2, 3, 0xFF};
    return request;
}

TEST(DeviceProtocol, RequestsAndRepliesSurviveARoundTrip) {
    Request decoded;
    ASSERT_EQ(DecodeRequest(EncodeRequest(SampleWrite()), decoded), "");
    EXPECT_EQ(decoded.sequence, 7u);
    EXPECT_EQ(decoded.function, Function::Write);
    EXPECT_EQ(decoded.input, (std::vector<uint8_t>{1, 2, 3, 0xFF}));

    Request ioctl;
    ioctl.function = Function::DeviceControl;
    ioctl.control_code = 0x9C406414;
    ioctl.output_length = 68;
    ASSERT_EQ(DecodeRequest(EncodeRequest(ioctl), decoded), "");
    EXPECT_EQ(decoded.control_code, 0x9C406414u);
    EXPECT_EQ(decoded.output_length, 68u);
    EXPECT_TRUE(decoded.input.empty());

    Reply reply{9, 0xC000003F, 200, std::vector<uint8_t>(200, 0x5A)};
    Reply decoded_reply;
    ASSERT_EQ(DecodeReply(EncodeReply(reply), decoded_reply), "");
    EXPECT_EQ(decoded_reply.sequence, 9u);
    EXPECT_EQ(decoded_reply.status, 0xC000003Fu);
    EXPECT_EQ(decoded_reply.information, 200u);
    EXPECT_EQ(decoded_reply.output, reply.output);
}

TEST(DeviceProtocol, MalformedRequestsAreRefusedWithAReason) {
    const std::vector<uint8_t> good = EncodeRequest(SampleWrite());
    Request out;

    EXPECT_NE(DecodeRequest(std::span(good).first(kRequestHeaderSize - 1), out), "");

    auto bad_magic = good;
    bad_magic[0] ^= 1;
    EXPECT_NE(DecodeRequest(bad_magic, out), "");

    auto bad_function = good;
    bad_function[8] = 0x55;
    EXPECT_NE(DecodeRequest(bad_function, out), "");

    auto truncated = good;
    truncated.pop_back();
    EXPECT_NE(DecodeRequest(truncated, out), "");

    auto oversized = good;
    oversized[23] = 0x7F;  // input length far beyond the message and the limit
    EXPECT_NE(DecodeRequest(oversized, out), "");

    Request read;
    read.function = Function::Read;
    read.output_length = 100;
    auto read_with_input = EncodeRequest(read);
    read_with_input[20] = 1;  // a read carrying input bytes
    read_with_input.push_back(0);
    EXPECT_NE(DecodeRequest(read_with_input, out), "");

    Request create;
    create.output_length = 4;  // a create takes no lengths
    EXPECT_NE(DecodeRequest(EncodeRequest(create), out), "");
}

TEST(DeviceProtocol, MalformedRepliesAreRefused) {
    auto good = EncodeReply(Reply{1, 0, 2, {1, 2}});
    Reply out;
    auto short_output = good;
    short_output.pop_back();
    EXPECT_NE(DecodeReply(short_output, out), "");
    auto bad_magic = good;
    bad_magic[3] = 0;
    EXPECT_NE(DecodeReply(bad_magic, out), "");
    EXPECT_NE(DecodeReply(std::span(good).first(4), out), "");
}

}  // namespace
}  // namespace qorval::protocol
