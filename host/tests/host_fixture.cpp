#include "host/tests/host_fixture.h"

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "driver/device_names.h"
#include "driver/driver_context.h"
#include "driver/registry_values.h"
#include "host/protocol/control_protocol.h"
#include "host/protocol/descriptor_passing.h"
#include "kernel/device_object.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace qorval::host::testing {

namespace {

constexpr auto kPollInterval = std::chrono::microseconds(200);

}  // namespace

int ConnectTo(const std::filesystem::path& path, int type) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof(address.sun_path)) {
        return -1;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

// One message within the bound; false on timeout or error; an empty message when the peer
// closed the connection.
bool ReceiveWithin(int fd, std::vector<uint8_t>& message, std::chrono::milliseconds bound) {
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(bound.count())) <= 0) {
        return false;
    }
    message.resize(protocol::kMaxMessageSize + 1);
    const ssize_t got = ::recv(fd, message.data(), message.size(), 0);
    if (got < 0) {
        return false;
    }
    message.resize(static_cast<size_t>(got));
    return true;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

TemporaryPrefix::TemporaryPrefix() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qorval-host-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary prefix";
    }
    path_ = pattern;
    ::setenv("QORVAL_PREFIX", path_.c_str(), 1);
}

TemporaryPrefix::~TemporaryPrefix() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    ::unsetenv("QORVAL_PREFIX");
}

std::string ControlCommand(const std::string& command) {
    const int fd = ConnectTo(platform::RunDir() / std::string(protocol::kControlSocketName));
    if (fd < 0) {
        return {};
    }
    std::string answer;
    std::vector<uint8_t> message;
    if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(command.size()) &&
        ReceiveWithin(fd, message, kGenerousBound)) {
        answer.assign(message.begin(), message.end());
    }
    ::close(fd);
    return answer;
}

void SetPortValue(unsigned port, const std::string& name, uint32_t value) {
    platform::Registry registry(platform::RegistryFile());
    const std::string key =
        wyvel32::PortKeyPath(wyvel32::kServiceKeyPath, static_cast<uint8_t>(port));
    ASSERT_TRUE(registry.KeyExists(key)) << key;
    ASSERT_TRUE(registry.SetDword(key, name, value).ok()) << name;
}

RawClient::~RawClient() {
    Close();
}

void RawClient::Close() {
    ring_.reset();
    ring_tail_ = 0;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool RawClient::Connect(unsigned port) {
    Close();
    fd_ = ConnectTo(platform::RunDir() / protocol::DeviceSocketName(port));
    return fd_ >= 0;
}

uint32_t RawClient::Open(unsigned port, bool synchronous, bool ring) {
    if (!Connect(port)) {
        return ~0u;
    }
    protocol::Request create;
    create.function = protocol::Function::Create;
    create.control_code = (synchronous ? protocol::kCreateSynchronous : 0) |
                          (ring ? protocol::kCreateRing : 0);
    protocol::Reply reply;
    if (!ring) {
        return Transact(create, reply) ? reply.status : ~0u;
    }
    std::vector<uint8_t> message(protocol::kReplyHeaderSize + 64);
    std::vector<int> descriptors;
    if (!Send(create)) {
        return ~0u;
    }
    const ssize_t got = protocol::ReceiveWithDescriptors(
        fd_, message, descriptors, protocol::ring::kDescriptorCount,
        static_cast<int>(kGenerousBound.count()));
    if (got <= 0 || static_cast<size_t>(got) > message.size() ||
        !protocol::DecodeReply(std::span(message).first(static_cast<size_t>(got)), reply)
             .empty()) {
        protocol::CloseAll(descriptors);
        return ~0u;
    }
    if (reply.status == 0) {
        std::string problem;
        ring_ = protocol::ring::RingRegion::Adopt(std::move(descriptors), &problem);
        EXPECT_NE(ring_, nullptr) << problem;
    }
    protocol::CloseAll(descriptors);
    return reply.status;
}

void RawClient::SubmitOnRing(uint32_t slot, protocol::Function function, uint32_t control_code,
                             uint32_t output_length, const std::vector<uint8_t>& input) {
    namespace ring = protocol::ring;
    const ring::RingView view = ring_->view();
    ring::SlotHeader& shared = view.slot(slot);
    std::copy(input.begin(), input.end(), view.data(slot));
    ring::Store(shared.sequence, next_sequence_++);
    ring::Store(shared.function, static_cast<uint32_t>(function));
    ring::Store(shared.control_code, control_code);
    ring::Store(shared.output_length, output_length);
    ring::Store(shared.input_length, static_cast<uint32_t>(input.size()));
    ring::Store(shared.waiting, 1);
    ring::Store(shared.state, ring::kSubmitted);
    ring::Store(view.header().submissions[ring_tail_ % ring::kSlots], slot);
    PublishOnRing(1);
}

void RawClient::PublishOnRing(uint32_t count) {
    namespace ring = protocol::ring;
    ring_tail_ += count;
    ring::Store(ring_->view().header().submit_tail, ring_tail_, std::memory_order_seq_cst);
    protocol::Wake(ring_->host_wake());
}

bool RawClient::AwaitOnRing(uint32_t slot) {
    namespace ring = protocol::ring;
    uint32_t& state = ring_->view().slot(slot).state;
    // The slot says it waits, so the host writes the slot's wake channel at the completion.
    return WaitFor([&] {
        protocol::DrainWakes(ring_->slot_wake(slot));
        return ring::Load(state, std::memory_order_acquire) == ring::kCompleted;
    });
}

bool RawClient::SendBytes(const std::vector<uint8_t>& bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                           static_cast<ssize_t>(bytes.size());
}

bool RawClient::Send(protocol::Request request) {
    request.sequence = next_sequence_++;
    return SendBytes(protocol::EncodeRequest(request));
}

bool RawClient::Receive(protocol::Reply& reply) {
    std::vector<uint8_t> message;
    return fd_ >= 0 && ReceiveWithin(fd_, message, kGenerousBound) && !message.empty() &&
           protocol::DecodeReply(message, reply).empty();
}

bool RawClient::Transact(protocol::Request request, protocol::Reply& reply) {
    return Send(std::move(request)) && Receive(reply);
}

bool RawClient::ClosedByHost() {
    std::vector<uint8_t> message;
    // Replies still on the way are skipped; the end of the connection reads as empty.
    while (fd_ >= 0 && ReceiveWithin(fd_, message, kGenerousBound)) {
        if (message.empty()) {
            return true;
        }
    }
    return false;
}

protocol::Request ControlRequest(uint32_t code, uint32_t input_length, uint32_t output_length) {
    protocol::Request request;
    request.function = protocol::Function::DeviceControl;
    request.control_code = code;
    request.output_length = output_length;
    request.input.assign(input_length, 0);
    return request;
}

LibraryPort::LibraryPort(uint16_t port) {
    result_ = QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, port, &handle_);
}

LibraryPort::~LibraryPort() {
    if (handle_ != 0) {
        (void)QORVAL_PortClose(handle_);
    }
}

uint16_t LibraryPort::FramesWaiting() const {
    uint16_t waiting = 0xFFFF;
    uint16_t free = 0xFFFF;
    EXPECT_EQ(QORVAL_GetBufferCount(handle_, &waiting, &free), 0u);
    return waiting;
}

uint16_t LibraryPort::FreeTxBuffers() const {
    uint16_t waiting = 0xFFFF;
    uint16_t free = 0xFFFF;
    EXPECT_EQ(QORVAL_GetBufferCount(handle_, &waiting, &free), 0u);
    return free;
}

uint32_t LibraryPort::AwaitFrame(std::vector<uint8_t>& frame, uint16_t size,
                                 uint64_t* arrivalNs) const {
    frame.assign(size, 0);
    uint32_t result = ~0u;
    uint32_t length = 0;
    uint64_t arrival = 0;
    const bool arrived = WaitFor([&] {
        result = QORVAL_GetDataTimed(handle_, frame.data(), size, &length, &arrival);
        return result != 0 || length != 0;
    });
    if (arrivalNs != nullptr) {
        *arrivalNs = arrival;
    }
    frame.resize(length);
    return arrived ? result : ~0u;
}

std::vector<uint8_t> PatternFrame(size_t size, uint32_t seed) {
    std::vector<uint8_t> frame(size);
    uint32_t state = seed * 2654435761u + static_cast<uint32_t>(size);
    for (auto& byte : frame) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return frame;
}

BusOptions PairAtUnlimitedRate(unsigned ports) {
    BusOptions options;
    options.ports = ports;
    options.wiring = WireKind::Pair;
    options.unlimited_rate = true;
    return options;
}

void HostTest::TearDown() {
    StopHost();
}

std::string HostTest::StartHost(BusOptions options) {
    host_ = std::make_unique<wyvel32::host::DriverHost>(options);
    std::string warnings;
    const std::string problem = host_->Start(&warnings);
    EXPECT_EQ(problem, "");
    return warnings;
}

void HostTest::StopHost() {
    if (host_) {
        host_->Stop();
        host_.reset();
    }
}

void HostTest::WriteDefaultKeys(unsigned ports) {
    StartHost(PairAtUnlimitedRate(ports));
    StopHost();
}

uint32_t HostTest::DeviceOfPort(unsigned port) {
    for (const uint32_t id : host_->kernel().Devices()) {
        const kernel::DeviceObject* device = host_->kernel().TopDevice(id);
        if (device != nullptr && device->Name == wyvel32::DeviceNameFor(port)) {
            return id;
        }
    }
    return 0;
}

}  // namespace qorval::host::testing
