#include "host/bus/stream_wire.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qorval::host {
namespace {

// Frames cut from the peer's bytes that may wait for the line before reading stops.
constexpr size_t kMaxPending = 2;
// Bits a frame occupies beyond its data: opening flag, a 16-bit frame check, closing flag.
constexpr double kFrameOverheadBits = 8 + 16 + 8;
// How long the I/O thread sleeps with nothing to wait for; only bounds a missed wake.
constexpr auto kIdlePoll = std::chrono::milliseconds(500);

bool SendAll(int fd, const std::vector<uint8_t>& frame) {
    size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// One connected peer. The socket closes when the last user lets go, so the writer thread may
// finish a send on it while the I/O thread has already given the peer up.
struct StreamWire::Peer {
    explicit Peer(int descriptor) : fd(descriptor) {}
    ~Peer() { ::close(fd); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    const int fd;
};

std::unique_ptr<StreamWire> StreamWire::Create(StreamAddress address, Settings settings,
                                               BitRate bit_rate, std::function<void()> wake,
                                               std::string* error) {
    const int listen_fd = ListenOn(&address, error);
    if (listen_fd < 0) {
        return nullptr;
    }
    const int wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd < 0) {
        ::close(listen_fd);
        *error = "eventfd failed";
        return nullptr;
    }
    return std::unique_ptr<StreamWire>(new StreamWire(
        std::move(address), settings, std::move(bit_rate), std::move(wake), listen_fd, wake_fd));
}

StreamWire::StreamWire(StreamAddress address, Settings settings, BitRate bit_rate,
                       std::function<void()> wake, int listen_fd, int wake_fd)
    : address_(std::move(address)),
      settings_(settings),
      bit_rate_(std::move(bit_rate)),
      wake_(std::move(wake)),
      listen_fd_(listen_fd),
      wake_fd_(wake_fd),
      framer_(settings.largest_frame) {
    io_ = std::thread([this] { RunIo(); });
    writer_ = std::thread([this] { RunWriter(); });
}

StreamWire::~StreamWire() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    queue_ready_.notify_all();
    const uint64_t one = 1;
    (void)!::write(wake_fd_, &one, sizeof(one));
    io_.join();
    writer_.join();
    DropPeer();
    ::close(listen_fd_);
    ::close(wake_fd_);
    if (address_.kind == StreamAddress::Kind::Unix) {
        ::unlink(address_.path.c_str());
    }
}

void StreamWire::FromLine(std::vector<uint8_t> frame) {
    {
        std::lock_guard guard(lock_);
        if (!peer_) {
            counters_.dropped_no_peer.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (queue_.size() >= settings_.queue_frames) {
            counters_.dropped_full.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        queue_.push_back(std::move(frame));
    }
    queue_ready_.notify_one();
}

void StreamWire::AttachLine(sim::Line* line) {
    std::lock_guard guard(line_lock_);
    line_ = line;
}

StreamWire::Statistics StreamWire::Stats() const {
    constexpr auto r = std::memory_order_relaxed;
    Statistics s;
    s.frames_to_peer = counters_.to_peer.load(r);
    s.frames_dropped_no_peer = counters_.dropped_no_peer.load(r);
    s.frames_dropped_queue_full = counters_.dropped_full.load(r);
    s.frames_from_peer = counters_.from_peer.load(r);
    s.frames_lost_no_line = counters_.lost_no_line.load(r);
    s.peers_accepted = counters_.accepted.load(r);
    s.peers_refused = counters_.refused.load(r);
    s.peer_connected = PeerConnected();
    return s;
}

bool StreamWire::PeerConnected() const {
    std::lock_guard guard(lock_);
    return peer_ != nullptr;
}

void StreamWire::RunWriter() {
    std::unique_lock guard(lock_);
    while (true) {
        queue_ready_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        std::vector<uint8_t> frame = std::move(queue_.front());
        queue_.pop_front();
        std::shared_ptr<Peer> peer = peer_;
        guard.unlock();
        if (peer && SendAll(peer->fd, frame)) {
            counters_.to_peer.fetch_add(1, std::memory_order_relaxed);
        } else {
            counters_.dropped_no_peer.fetch_add(1, std::memory_order_relaxed);
            if (peer) {
                // The I/O thread sees the hang-up and gives the peer up.
                ::shutdown(peer->fd, SHUT_RDWR);
            }
        }
        guard.lock();
    }
}

void StreamWire::Accept() {
    while (true) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;  // nothing more waiting (the listening socket does not block)
        }
        std::lock_guard guard(lock_);
        if (peer_) {
            // One peer at a time: the second is closed at once.
            counters_.refused.fetch_add(1, std::memory_order_relaxed);
            ::close(fd);
            continue;
        }
        peer_ = std::make_shared<Peer>(fd);
        io_peer_fd_ = fd;
        counters_.accepted.fetch_add(1, std::memory_order_relaxed);
    }
}

void StreamWire::DropPeer() {
    std::shared_ptr<Peer> gone;
    size_t unsent = 0;
    {
        std::lock_guard guard(lock_);
        gone = std::move(peer_);
        peer_.reset();
        unsent = queue_.size();
        queue_.clear();
    }
    counters_.dropped_no_peer.fetch_add(unsent, std::memory_order_relaxed);
    if (gone) {
        ::shutdown(gone->fd, SHUT_RDWR);  // wakes a writer blocked on it
    }
    io_peer_fd_ = -1;
}

void StreamWire::ReadPeer(int fd, std::vector<std::vector<uint8_t>>* cut) {
    std::vector<uint8_t> buffer(settings_.largest_frame);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0) {
        framer_.Feed({buffer.data(), static_cast<size_t>(n)}, cut);
        last_byte_ = std::chrono::steady_clock::now();
        return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return;
    }
    // The peer went away: what it sent before still reaches the port.
    framer_.Flush(cut);
    DropPeer();
}

void StreamWire::Schedule(std::vector<std::vector<uint8_t>>* cut) {
    const auto now = std::chrono::steady_clock::now();
    const double rate = paced_ && !cut->empty() ? bit_rate_() : 0.0;
    for (auto& frame : *cut) {
        auto due = now;
        if (rate > 0) {
            const double seconds =
                (static_cast<double>(frame.size()) * 8 + kFrameOverheadBits) / rate;
            const auto start = std::max(now, line_free_);
            due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
            line_free_ = due;
        }
        pending_.push_back({std::move(frame), due});
    }
    cut->clear();
}

void StreamWire::Deliver(std::vector<uint8_t> frame) {
    {
        std::lock_guard guard(line_lock_);
        if (line_ == nullptr) {
            counters_.lost_no_line.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        line_->SendFromFarEnd(std::move(frame));
    }
    counters_.from_peer.fetch_add(1, std::memory_order_relaxed);
    wake_();
}

void StreamWire::RunIo() {
    using std::chrono::steady_clock;
    std::vector<std::vector<uint8_t>> cut;
    while (!stopping_) {
        auto now = steady_clock::now();
        while (!pending_.empty() && pending_.front().due <= now) {
            Deliver(std::move(pending_.front().frame));
            pending_.pop_front();
        }
        if (framer_.Holding() && now - last_byte_ >= settings_.gap) {
            framer_.Flush(&cut);
        }
        Schedule(&cut);
        if (!pending_.empty() && pending_.front().due <= now) {
            continue;
        }

        auto wake_at = now + kIdlePoll;
        if (!pending_.empty()) {
            wake_at = std::min(wake_at, pending_.front().due);
        }
        if (framer_.Holding()) {
            wake_at = std::min(wake_at, last_byte_ + settings_.gap);
        }
        pollfd fds[3] = {{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 2;
        if (io_peer_fd_ >= 0) {
            // Reading pauses while enough is cut and waiting: the peer's input stays bounded
            // and the socket holds the peer back.
            fds[2] = {io_peer_fd_, static_cast<short>(pending_.size() < kMaxPending ? POLLIN : 0),
                      0};
            count = 3;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake_at - now);
        const int ready = ::poll(fds, count, static_cast<int>(std::max<int64_t>(wait.count(), 0)));
        if (ready <= 0) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            Accept();
        }
        if (count == 3 && fds[2].fd == io_peer_fd_) {
            if (fds[2].revents & POLLIN) {
                ReadPeer(io_peer_fd_, &cut);
            } else if (fds[2].revents & (POLLHUP | POLLERR)) {
                framer_.Flush(&cut);
                DropPeer();
            }
        }
    }
}

}  // namespace qorval::host
