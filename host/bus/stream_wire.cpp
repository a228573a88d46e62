#include "host/bus/stream_wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "host/bus/stream_token.h"
#include "host/server/peer_credentials.h"

namespace qorval::host {
namespace {

// Frames cut from the peer's bytes that may wait for the line before reading stops.
constexpr size_t kMaxPending = 2;
// Bits a frame occupies beyond its data: opening flag, a 16-bit frame check, closing flag.
constexpr double kFrameOverheadBits = 8 + 16 + 8;
// How long the I/O thread sleeps with nothing to wait for; only bounds a missed wake.
constexpr auto kIdlePoll = std::chrono::milliseconds(500);
// TCP connections that may wait at once to send the secret.
constexpr size_t kMaxCandidates = 4;

std::string DescribeInet(const sockaddr_storage& from) {
    if (from.ss_family != AF_INET) {
        return "a peer";
    }
    const auto& inet = reinterpret_cast<const sockaddr_in&>(from);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &inet.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(inet.sin_port));
}

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
    if (address.kind == StreamAddress::Kind::Tcp && settings.token.empty()) {
        *error = "a TCP wiring needs the stream token";
        return nullptr;
    }
    StreamListener listener = ListenOn(&address, error);
    if (listener.fd < 0) {
        return nullptr;
    }
    const int wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd < 0) {
        CloseListener(address, listener);
        *error = "eventfd failed";
        return nullptr;
    }
    return std::unique_ptr<StreamWire>(new StreamWire(std::move(address), std::move(settings),
                                                      std::move(bit_rate), std::move(wake),
                                                      listener, wake_fd));
}

StreamWire::StreamWire(StreamAddress address, Settings settings, BitRate bit_rate,
                       std::function<void()> wake, StreamListener listener, int wake_fd)
    : address_(std::move(address)),
      settings_(std::move(settings)),
      bit_rate_(std::move(bit_rate)),
      wake_(std::move(wake)),
      listener_(listener),
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
    for (const Candidate& candidate : candidates_) {
        ::close(candidate.fd);
    }
    // Removes the socket file only if it is still the one made for this wiring.
    CloseListener(address_, listener_);
    ::close(wake_fd_);
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
    s.peers_rejected = counters_.rejected.load(r);
    std::lock_guard guard(lock_);
    s.peer_connected = peer_ != nullptr;
    s.peer = peer_ ? peer_who_ : std::string();
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
        sockaddr_storage from{};
        socklen_t length = sizeof(from);
        const int fd =
            ::accept4(listener_.fd, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            (void)backoff_.Failed(errno);
            return;  // nothing more waiting (the listening socket does not block)
        }
        backoff_.Succeeded();
        if (address_.kind == StreamAddress::Kind::Unix) {
            const auto peer = PeerCredentialsOf(fd);
            if (!peer || peer->uid != ::geteuid()) {
                counters_.rejected.fetch_add(1, std::memory_order_relaxed);
                ::close(fd);
                continue;
            }
            Admit(fd, "uid " + std::to_string(peer->uid) + " pid " + std::to_string(peer->pid));
            continue;
        }
        if (PeerConnected()) {
            counters_.refused.fetch_add(1, std::memory_order_relaxed);
            ::close(fd);
            continue;
        }
        if (candidates_.size() >= kMaxCandidates) {
            counters_.rejected.fetch_add(1, std::memory_order_relaxed);
            ::close(candidates_.front().fd);
            candidates_.erase(candidates_.begin());
        }
        const int flags = ::fcntl(fd, F_GETFL);
        (void)::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        candidates_.push_back(
            {fd, DescribeInet(from), {}, std::chrono::steady_clock::now() + settings_.token_wait});
    }
}

void StreamWire::Admit(int fd, std::string who) {
    std::lock_guard guard(lock_);
    if (peer_) {
        // One peer at a time: the second is closed at once.
        counters_.refused.fetch_add(1, std::memory_order_relaxed);
        ::close(fd);
        return;
    }
    // The peer's socket blocks: the writer thread waits in send for a slow peer.
    const int flags = ::fcntl(fd, F_GETFL);
    (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    peer_ = std::make_shared<Peer>(fd);
    peer_who_ = std::move(who);
    io_peer_fd_ = fd;
    counters_.accepted.fetch_add(1, std::memory_order_relaxed);
}

bool StreamWire::ReadCandidate(Candidate& candidate) {
    // Byte by byte up to the line feed, so that nothing after the secret is taken from the
    // socket here: it is the peer's first line data.
    while (candidate.line.size() <= settings_.token.size()) {
        char c = 0;
        const ssize_t n = ::recv(candidate.fd, &c, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        if (n <= 0) {
            break;
        }
        if (c == '\n') {
            if (TokenMatches(candidate.line, settings_.token)) {
                Admit(candidate.fd, std::move(candidate.who));
                return false;
            }
            break;
        }
        candidate.line += c;
    }
    counters_.rejected.fetch_add(1, std::memory_order_relaxed);
    ::close(candidate.fd);
    return false;
}

void StreamWire::ExpireCandidates(std::chrono::steady_clock::time_point now) {
    std::erase_if(candidates_, [&](const Candidate& candidate) {
        if (now < candidate.deadline) {
            return false;
        }
        counters_.rejected.fetch_add(1, std::memory_order_relaxed);
        ::close(candidate.fd);
        return true;
    });
}

void StreamWire::DropPeer() {
    std::shared_ptr<Peer> gone;
    size_t unsent = 0;
    {
        std::lock_guard guard(lock_);
        gone = std::move(peer_);
        peer_.reset();
        peer_who_.clear();
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

        ExpireCandidates(now);
        auto wake_at = now + kIdlePoll;
        if (!pending_.empty()) {
            wake_at = std::min(wake_at, pending_.front().due);
        }
        if (framer_.Holding()) {
            wake_at = std::min(wake_at, last_byte_ + settings_.gap);
        }
        for (const Candidate& candidate : candidates_) {
            wake_at = std::min(wake_at, candidate.deadline);
        }
        const bool resting = backoff_.Resting(now);
        if (resting) {
            wake_at = std::min(wake_at, now + std::chrono::milliseconds(backoff_.RestLeftMs(now)));
        }
        // The stop signal, the listener (unless it rests for want of descriptors), the peer,
        // then the candidates.
        std::vector<pollfd> fds{{wake_fd_, POLLIN, 0}, {resting ? -1 : listener_.fd, POLLIN, 0}};
        const int peer_fd = io_peer_fd_;
        // Reading pauses while enough is cut and waiting: the peer's input stays bounded and
        // the socket holds the peer back.
        fds.push_back({peer_fd, static_cast<short>(pending_.size() < kMaxPending ? POLLIN : 0), 0});
        for (const Candidate& candidate : candidates_) {
            fds.push_back({candidate.fd, POLLIN, 0});
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake_at - now);
        const int ready =
            ::poll(fds.data(), fds.size(), static_cast<int>(std::max<int64_t>(wait.count(), 0)));
        if (ready <= 0) {
            continue;
        }
        if (peer_fd >= 0) {
            if (fds[2].revents & POLLIN) {
                ReadPeer(peer_fd, &cut);
            } else if (fds[2].revents & (POLLHUP | POLLERR)) {
                framer_.Flush(&cut);
                DropPeer();
            }
        }
        std::vector<Candidate> waiting;
        for (size_t i = 0; i < candidates_.size(); ++i) {
            if (fds[3 + i].revents == 0 || ReadCandidate(candidates_[i])) {
                waiting.push_back(std::move(candidates_[i]));
            }
        }
        candidates_.swap(waiting);
        if (fds[1].revents & POLLIN) {
            Accept();
        }
    }
}

}  // namespace qorval::host
