#include "host/server/client_connection.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "driver/ioctl_codes.h"
#include "host/protocol/descriptor_passing.h"
#include "host/protocol/spin_wait.h"
#include "host/server/seqpacket_listener.h"
#include "kernel/dispatch_scope.h"
#include "kernel/frame_arrival.h"
#include "kernel/irp.h"

namespace qorval::host {

namespace ring = protocol::ring;

namespace {

// How long a new connection may take to send its create request.
constexpr int kCreateDeadlineMs = 5000;
// The largest message that can be a create request: its header alone. One byte more tells an
// over-long message apart.
constexpr size_t kCreateBufferSize = protocol::kRequestHeaderSize + 1;
// Messages read per round on the message path before the outbox gets its turn.
constexpr int kMessagesPerRound = 16;
// How long the ring's thread looks for the next submission before it sleeps: a client that
// is busy with the port submits again well within it.
constexpr auto kSpinBudget = std::chrono::microseconds(50);

bool IsBufferCount(const ring::RingRequest& request) {
    return request.function == protocol::Function::DeviceControl &&
           request.control_code == wyvel32::IOCTL_GET_BUFFER_COUNT;
}

// Whether the request reads received frames, counts them or may empty the receive buffers.
bool TouchesReceivedFrames(const ring::RingRequest& request) {
    if (request.function == protocol::Function::Read || IsBufferCount(request)) {
        return true;
    }
    return request.function == protocol::Function::DeviceControl &&
           (request.control_code == wyvel32::IOCTL_RESET_BUFFERS ||
            request.control_code == wyvel32::IOCTL_SET_PORT_STATE);
}

// -1 when the host has no descriptor left; Start then refuses the connection.
int MakeEvent() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

}  // namespace

ClientConnection::ClientConnection(kernel::IoManager& kernel, int socket, std::string link,
                                   ConnectionDirectory& directory)
    : kernel_(kernel),
      socket_(socket),
      wake_(MakeEvent()),
      link_(std::move(link)),
      directory_(directory),
      outbox_(socket_, wake_) {}

ClientConnection::~ClientConnection() {
    ::close(socket_);
    if (wake_ >= 0) {
        ::close(wake_);
    }
}

bool ClientConnection::Start() {
    if (wake_ < 0) {
        return false;
    }
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void ClientConnection::RequestStop() {
    stop_ = true;
    (void)::eventfd_write(wake_, 1);
}

void ClientConnection::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ClientConnection::ClientHungUp() const {
    if (finished_.load()) {
        return false;
    }
    pollfd end{socket_, POLLRDHUP, 0};
    return ::poll(&end, 1, 0) > 0 && (end.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool ClientConnection::AwaitFinished(std::chrono::milliseconds bound) {
    std::unique_lock lock(finished_lock_);
    return finished_signal_.wait_for(lock, bound, [&] { return finished_.load(); });
}

void ClientConnection::Run() {
    // Named so that ps, top and profilers tell the connections from the rest of the host.
    (void)::pthread_setname_np(::pthread_self(), "wyvel32 client");
    bool ring_asked = false;
    if (Create(ring_asked)) {
        if (ring_) {
            ServeRing();
        } else {
            ServeMessages();
        }
    }
    End();
}

bool ClientConnection::WaitForSocket(short events, int timeout_ms, short& revents,
                                     bool* ring_woken) {
    pollfd waits[3] = {{socket_, events, 0},
                       {wake_, POLLIN, 0},
                       {ring_woken != nullptr ? ring_->host_wake() : -1, POLLIN, 0}};
    int ready;
    do {
        ready = ::poll(waits, ring_woken != nullptr ? 3 : 2, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || (ready == 0 && timeout_ms >= 0)) {
        return false;
    }
    if (waits[1].revents != 0) {
        eventfd_t ignored;
        (void)::eventfd_read(wake_, &ignored);
    }
    if (ring_woken != nullptr && waits[2].revents != 0) {
        *ring_woken = true;
        protocol::DrainWakes(ring_->host_wake());
    }
    revents = waits[0].revents;
    return !stop_.load();
}

void ClientConnection::RefuseMalformed(uint32_t sequence) {
    outbox_.Post(protocol::EncodeReply(sequence, wyvel32::STATUS_INVALID_PARAMETER, 0, {}));
}

bool ClientConnection::Create(bool& ring_asked) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kCreateDeadlineMs);
    uint8_t buffer[kCreateBufferSize];
    size_t size = 0;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        short revents = 0;
        if (left <= 0 || !WaitForSocket(POLLIN, static_cast<int>(left), revents, nullptr)) {
            return false;
        }
        const Received received = ReceiveMessage(socket_, buffer, size);
        if (received == Received::Message) {
            break;
        }
        if (received == Received::Empty || received == Received::Oversized) {
            RefuseMalformed(0);
            return false;
        }
        if (received == Received::Closed) {
            return false;
        }
    }
    protocol::Request request;
    if (!protocol::DecodeRequest(std::span(buffer, size), request).empty() ||
        request.function != protocol::Function::Create) {
        RefuseMalformed(request.sequence);
        return false;
    }
    const uint32_t options = (request.control_code & protocol::kCreateSynchronous) != 0
                                 ? kernel::FILE_SYNCHRONOUS_IO_NONALERT
                                 : 0;
    kernel::NTSTATUS status = kernel_.Open(link_, options, &handle_);
    // A client that closed the port and opens it again at once may find its old connection
    // still closing the handle: its end is already closed, so wait for it and try again (it
    // may also have finished just now).
    if (status == kernel::STATUS_ACCESS_DENIED) {
        directory_.AwaitDepartedClients(link_, this);
        status = kernel_.Open(link_, options, &handle_);
    }
    if (status != wyvel32::STATUS_SUCCESS) {
        handle_ = 0;
        outbox_.Post(protocol::EncodeReply(request.sequence, status, 0, {}));
        return false;
    }
    opened_ = true;
    synchronous_ = options != 0;
    ring_asked = (request.control_code & protocol::kCreateRing) != 0;
    return ReplyToCreate(request.sequence, ring_asked);
}

bool ClientConnection::ReplyToCreate(uint32_t sequence, bool ring_asked) {
    if (ring_asked) {
        std::string problem;
        ring_ = ring::RingRegion::Create(&problem);
        if (ring_) {
            const std::vector<uint8_t> reply = protocol::EncodeReply(
                sequence, wyvel32::STATUS_SUCCESS, 0, ring::EncodeDescription({}));
            const bool sent =
                protocol::SendWithDescriptors(socket_, reply, ring_->ClientDescriptors());
            ring_->ForgetClientDescriptors();
            return sent;
        }
        // No memory or descriptors for a ring: the handle works with messages.
    }
    const std::vector<uint8_t> reply =
        protocol::EncodeReply(sequence, wyvel32::STATUS_SUCCESS, 0, {});
    return SendMessage(socket_, reply.data(), reply.size());
}

void ClientConnection::ServeMessages() {
    // Made once for the connection, not per message, and not cleared: only the bytes received
    // are ever read.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[protocol::kMaxMessageSize]);
    const std::span<uint8_t> room(buffer.get(), protocol::kMaxMessageSize);
    for (;;) {
        short revents = 0;
        const short events = POLLIN | (outbox_.HasQueued() ? POLLOUT : 0);
        if (!WaitForSocket(events, -1, revents, nullptr) || outbox_.Failed()) {
            return;
        }
        if ((revents & POLLOUT) != 0) {
            outbox_.Flush();
        }
        if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        for (int round = 0; round < kMessagesPerRound; ++round) {
            size_t size = 0;
            const Received received = ReceiveMessage(socket_, room, size);
            if (received == Received::Nothing) {
                break;
            }
            if (received == Received::Empty || received == Received::Oversized) {
                RefuseMalformed(0);
                return;
            }
            if (received == Received::Closed || !HandleMessage(room.first(size))) {
                return;
            }
        }
    }
}

bool ClientConnection::HandleMessage(std::span<const uint8_t> message) {
    protocol::Request request;
    if (!protocol::DecodeRequest(message, request).empty() ||
        request.function == protocol::Function::Create) {
        RefuseMalformed(request.sequence);
        return false;
    }
    auto reply = [self = shared_from_this(), sequence = request.sequence](
                     kernel::NTSTATUS status, uint64_t information,
                     std::span<const uint8_t> output) {
        self->outbox_.Post(protocol::EncodeReply(sequence, status,
                                                 static_cast<uint32_t>(information), output));
    };
    const kernel::DispatchScope scope;
    switch (request.function) {
        case protocol::Function::Read:
            kernel_.Read(handle_, request.output_length, std::move(reply));
            break;
        case protocol::Function::Write:
            kernel_.Write(handle_, request.input, std::move(reply));
            break;
        case protocol::Function::DeviceControl:
            kernel_.DeviceControl(handle_, request.control_code, request.input,
                                  request.output_length, std::move(reply));
            break;
        case protocol::Function::Create:
            break;  // refused above
    }
    return true;
}

void ClientConnection::ServeRing() {
    const ring::RingView view = ring_->view();
    if (synchronous_) {
        read_ahead_ = std::make_shared<ReadAhead>(kernel_, handle_, view);
    }
    counts_ = std::make_shared<CountsPublisher>(kernel_, handle_, view, read_ahead_);
    counts_->Start();
    uint32_t& asleep = view.header().host_asleep;
    const auto submitted = [&] { return reader_.HasSubmissions(view) || stop_.load(); };
    for (;;) {
        bool any = false;
        if (!DispatchSubmissions(any) || stop_.load()) {
            return;
        }
        if (any || protocol::YieldUntil(submitted, kSpinBudget)) {
            continue;
        }
        // Say so before the last look, so that a submission after it writes the wake channel.
        ring::Store(asleep, 1, std::memory_order_seq_cst);
        if (reader_.HasSubmissions(view)) {
            ring::Store(asleep, 0);
            continue;
        }
        short revents = 0;
        bool woken = false;
        const bool go_on = WaitForSocket(POLLIN | POLLRDHUP, -1, revents, &woken);
        ring::Store(asleep, 0);
        if (!go_on) {
            return;
        }
        if (revents != 0) {
            // On a ring connection the socket carries nothing but its end.
            uint8_t scrap[kCreateBufferSize];
            size_t size = 0;
            const Received received = ReceiveMessage(socket_, scrap, size);
            if (received == Received::Nothing) {
                continue;
            }
            if (received != Received::Closed) {
                RefuseMalformed(0);
            }
            return;
        }
    }
}

bool ClientConnection::DispatchSubmissions(bool& any) {
    const ring::RingView view = ring_->view();
    bool sound = true;
    bool round = false;
    {
        // What the requests start on the card is stepped on this thread once they are
        // dispatched, at the end of the scope.
        const kernel::DispatchScope scope;
        for (;;) {
            ring::RingRequest request;
            const char* problem = nullptr;
            const auto outcome = reader_.Take(view, request, &problem);
            if (outcome == ring::SubmissionReader::Outcome::Empty) {
                break;
            }
            if (outcome == ring::SubmissionReader::Outcome::Malformed) {
                RefuseMalformed(0);
                sound = false;
                break;
            }
            any = true;
            // Any request but a buffer count may change the counts: withdrawn until the
            // round is over.
            if (!round && !IsBufferCount(request)) {
                counts_->BeginRound();
                round = true;
            }
            // A request that reads frames, counts them or empties the receive buffers holds the
            // read-ahead area while the driver serves it: the client's reads and the frames
            // taken ahead come out of the driver in one order. Only for that long, so that
            // frames are taken meanwhile on the thread that serves the card.
            std::optional<ReadAhead::Hold> area;
            if (read_ahead_ && TouchesReceivedFrames(request)) {
                area.emplace(*read_ahead_, ReadAhead::Hold::Wait::Yes);
                if (!read_ahead_->writer().Collect(read_ahead_->area())) {
                    RefuseMalformed(0);  // the client's head of the read-ahead area is garbage
                    sound = false;
                    break;
                }
            }
            Dispatch(request);
            if (area) {
                read_ahead_->ApplyDrops();  // a reset just made drops the frames held with it
                area.reset();
                counts_->RefreshIfMissed();  // frames that came meanwhile are taken now
            }
        }
    }
    // The round's completions were shown as they came, while the counts were withdrawn: a
    // client that looks at the counts between the two asks the host or waits for these.
    if (round) {
        counts_->EndRound();
    } else {
        counts_->RefreshIfMissed();
    }
    return sound;
}

void ClientConnection::Dispatch(const ring::RingRequest& request) {
    kernel::IoManager::Completion done = [self = shared_from_this(), request](
                                             kernel::NTSTATUS status, uint64_t information,
                                             std::span<const uint8_t> output) {
        // A read completes on the thread that took its frame: the frame's arrival time is the
        // one noted there (kernel/frame_arrival.h).
        const uint64_t arrival =
            request.function == protocol::Function::Read ? kernel::frame_arrival::Take() : 0;
        self->reader_.WriteReply(self->ring_->view(), request, status,
                                 static_cast<uint32_t>(information), output, arrival);
        self->FinishOnRing(request);
    };
    // The input bytes are copied once, straight into the request's system buffer; a client
    // that changes them meanwhile changes only its own frame.
    const std::span<const uint8_t> input(ring_->view().data(request.slot), request.input_length);
    if (read_ahead_ && IsBufferCount(request)) {
        // Under the request's hold of the area: the frames held now, as the client's head says,
        // count with the driver's answer.
        read_ahead_->ApplyDrops();
        done = [done = std::move(done), held = read_ahead_->writer().HeldBuffers()](
                   kernel::NTSTATUS status, uint64_t information,
                   std::span<const uint8_t> output) {
            std::array<uint8_t, wyvel32::kBufferCountSize> counts{};
            if (status == wyvel32::STATUS_SUCCESS && output.size() == counts.size()) {
                std::copy(output.begin(), output.end(), counts.begin());
                const uint32_t waiting = std::min<uint32_t>(
                    uint32_t{counts[0]} + (uint32_t{counts[1]} << 8) + held, 0xFFFF);
                counts[0] = static_cast<uint8_t>(waiting);
                counts[1] = static_cast<uint8_t>(waiting >> 8);
                output = counts;
            }
            done(status, information, output);
        };
    }
    if (read_ahead_ && request.function == protocol::Function::DeviceControl &&
        EmptiesReceiveBuffers(request.control_code, input)) {
        done = [done = std::move(done), ahead = read_ahead_](
                   kernel::NTSTATUS status, uint64_t information,
                   std::span<const uint8_t> output) {
            if (status == wyvel32::STATUS_SUCCESS) {
                ahead->DropHeld();  // the frames held go with the driver's
            }
            done(status, information, output);
        };
    }
    switch (request.function) {
        case protocol::Function::Read:
            DispatchRead(request, std::move(done));
            break;
        case protocol::Function::Write:
            if (read_ahead_) {
                read_ahead_->NoteWrite();
            }
            kernel_.Write(handle_, input, std::move(done));
            break;
        case protocol::Function::DeviceControl:
            kernel_.DeviceControl(handle_, request.control_code, input, request.output_length,
                                  std::move(done));
            break;
        case protocol::Function::Create:
            break;  // the reader never hands one out
    }
}

void ClientConnection::DispatchRead(const ring::RingRequest& request,
                                    kernel::IoManager::Completion done) {
    if (read_ahead_) {
        read_ahead_->NoteReadLength(request.output_length);
        if (read_ahead_->Suspended()) {
            AwaitReadsThenRead(request, std::move(done));
            return;
        }
        read_ahead_->ApplyDrops();
        if (AnswerFromHeld(request)) {
            return;
        }
    }
    kernel::frame_arrival::Forget();
    kernel_.Read(handle_, request.output_length, std::move(done));
}

void ClientConnection::AwaitReadsThenRead(const ring::RingRequest& request,
                                          kernel::IoManager::Completion done) {
    // While a Plug and Play or power request is under way, or the device stops or sleeps, the
    // driver may hold a read back until the device is back, or fail it once it is gone. A read
    // of no bytes goes through the same door; once the driver lets it through, the frames held
    // are the next ones (unless a start dropped them with the driver's).
    kernel_.Read(handle_, 0,
                 [self = shared_from_this(), request, done = std::move(done)](
                     kernel::NTSTATUS status, uint64_t, std::span<const uint8_t>) mutable {
                     if (status != wyvel32::STATUS_SUCCESS) {
                         done(status, 0, {});
                         return;
                     }
                     // On the connection's thread when the driver let it through at once;
                     // else on the thread that let the held requests go.
                     const ReadAhead::Hold area(*self->read_ahead_, ReadAhead::Hold::Wait::Yes);
                     self->read_ahead_->ApplyDrops();
                     if (!self->AnswerFromHeld(request)) {
                         kernel::frame_arrival::Forget();
                         self->kernel_.Read(self->handle_, request.output_length,
                                            std::move(done));
                     }
                 });
}

bool ClientConnection::AnswerFromHeld(const ring::RingRequest& request) {
    // A read names the first frame its client had not taken from the area when it looked
    // (a read's control code is otherwise unused). Frames held come before any frame still in
    // the driver, so the first held from there on is the frame the driver would give it next.
    uint32_t number = 0;
    const ring::HeldFrame* frame =
        read_ahead_->writer().FirstFrom(request.control_code, number);
    if (frame == nullptr) {
        return false;
    }
    uint32_t status = wyvel32::STATUS_SUCCESS;
    std::optional<uint32_t> next;
    switch (ring::ReadOfHeldFrame(frame->room, request.output_length)) {
        case ring::HeldFrameRead::Nothing:
            break;
        case ring::HeldFrameRead::TooSmall:
            status = wyvel32::STATUS_INFO_LENGTH_MISMATCH;
            break;
        case ring::HeldFrameRead::Takes:
            status = frame->status;
            next = number + 1;
            break;
    }
    const std::span<const uint8_t> output =
        next ? std::span<const uint8_t>(frame->bytes) : std::span<const uint8_t>();
    reader_.WriteReply(ring_->view(), request, status, static_cast<uint32_t>(output.size()),
                       output, next ? frame->arrival_ns : 0, next);
    FinishOnRing(request);
    return true;
}

void ClientConnection::FinishOnRing(const ring::RingRequest& request) {
    if (reader_.Finish(ring_->view(), request)) {
        protocol::Wake(ring_->slot_wake(request.slot));
    }
}

void ClientConnection::End() {
    if (counts_) {
        counts_->Stop();  // a client sleeping on the counts wakes and finds the end
    }
    if (handle_ != 0) {
        // As for a process that died: cancel what it left outstanding, then cleanup and close.
        kernel_.CancelIo(handle_);
        (void)kernel_.CloseHandle(handle_);
        handle_ = 0;
    }
    outbox_.Close();
    ::shutdown(socket_, SHUT_RDWR);  // the client sees the end now; the descriptor goes later
    {
        std::lock_guard lock(finished_lock_);
        finished_ = true;
    }
    finished_signal_.notify_all();
    directory_.ConnectionFinished();
}

}  // namespace qorval::host
