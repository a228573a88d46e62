#include "terminal/tests/support/lrzsz_bridge.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "portaccess/fake/fake_state.h"
#include "terminal/tests/support/piped_child.h"

namespace qorval::terminal::testing {
namespace {

// Bytes from the child that wait this long for company are sent as a frame of their own: a few
// character times on a fast line, so the bridge adds little delay of its own.
constexpr long kGapNs = 200'000;
// How long one look at the child's output waits when nothing is held back.
constexpr long kIdleNs = 50'000;

int WaitReadable(int fd, long ns) {
    pollfd p{fd, POLLIN, 0};
    const timespec t{0, ns};
    return ::ppoll(&p, 1, &t, nullptr);
}

void WriteAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
}

}  // namespace

ChildBridge::ChildBridge(uint16_t driver, uint16_t port, uint16_t frame_limit,
                         std::vector<std::string> argv, const std::string& cwd)
    : driver_(driver), port_(port), frame_limit_(frame_limit), cwd_(cwd) {
    if (QORVAL_PortOpen(driver, port, &handle_) != 0) {
        return;
    }
    // Nothing an earlier far end left on the line reaches this child.
    QORVAL_ResetBuffers(handle_, QORVAL_RESET_BOTH);
    const PipedChild child = StartPipedChild(std::move(argv), cwd, cwd + "/stderr.txt");
    pid_ = child.pid;
    to_child_ = child.toChild;
    from_child_ = child.fromChild;
    if (pid_ > 0) {
        pump_ = std::thread([this] { Pump(); });
    }
}

ChildBridge::~ChildBridge() {
    StopChild();
    running_ = false;
    if (pump_.joinable()) {
        pump_.join();
    }
    if (to_child_ >= 0) {
        ::close(to_child_);
    }
    if (from_child_ >= 0) {
        ::close(from_child_);
    }
    if (handle_ != 0) {
        QORVAL_PortClose(handle_);
    }
}

void ChildBridge::Pump() {
    std::vector<uint8_t> frame(65535);
    std::vector<uint8_t> out;
    bool child_open = true;
    while (running_) {
        // Line to child: every frame the engine sent.
        for (;;) {
            uint32_t length = 0;
            if (QORVAL_GetData(handle_, frame.data(), static_cast<uint16_t>(frame.size()),
                               &length) != 0 ||
                length == 0) {
                break;
            }
            if (!child_done_) {
                WriteAll(to_child_, frame.data(), length);
            }
        }
        // Child to line: frames of at most frame_limit_, cut early after a short gap. Reading
        // stops while enough is held back for a few frames.
        bool gap = true;
        if (child_open && out.size() < 4 * size_t{frame_limit_}) {
            const int ready = WaitReadable(from_child_, out.empty() ? kIdleNs : kGapNs);
            if (ready > 0) {
                uint8_t buffer[4096];
                const ssize_t n = ::read(from_child_, buffer, sizeof buffer);
                if (n > 0) {
                    out.insert(out.end(), buffer, buffer + n);
                } else if (n == 0 || errno != EINTR) {
                    child_open = false;
                }
            }
            gap = ready == 0 || !child_open;
        }
        bool sent = false;
        while ((out.size() >= frame_limit_ || (gap && !out.empty())) && PeerHasRoom()) {
            const size_t take = std::min<size_t>(out.size(), frame_limit_);
            QORVAL_PutData(handle_, out.data(), static_cast<uint32_t>(take));
            out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(take));
            sent = true;
        }
        if (!sent && (!child_open || out.size() >= 4 * size_t{frame_limit_})) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

// The child writes as fast as its pipe lets it, faster than any line: it is held back while
// the receiving port's buffers are nearly full, as a paced line would hold it back, instead of
// losing frames to an overrun the test did not ask for.
bool ChildBridge::PeerHasRoom() {
    auto& state = fake::FakeLibrary::Instance().State();
    std::lock_guard lock(state.mutex);
    const fake::FakePort* self = state.ByKey({driver_, port_});
    if (self == nullptr || !self->peer) {
        return true;
    }
    const fake::FakePort* peer = state.ByKey(*self->peer);
    return peer == nullptr || peer->waiting.size() + 2 < peer->port_spec.rx_buffers;
}

int ChildBridge::Wait(int seconds) {
    if (pid_ <= 0) {
        return -1;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            child_done_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    StopChild();
    return -1;
}

void ChildBridge::StopChild() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        child_done_ = true;
    }
}

bool ChildBridge::WaitForErrorText(const std::string& text, int seconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (ErrorOutput().find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string ChildBridge::ErrorOutput() const {
    std::ifstream in(cwd_ + "/stderr.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace qorval::terminal::testing
