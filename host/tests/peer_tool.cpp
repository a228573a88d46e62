// qorval_test_peer: what another local user does to a driver host, for the tests that run it
// as that user. Each form prints what it saw; the status says how it went.
//
//   qorval_test_peer idle SOCKET COUNT   keeps COUNT connections to a SOCK_SEQPACKET socket
//                                        open and idle, making a new one for each the host
//                                        closes, until standard input closes; prints "holding"
//                                        once every connection was tried
//   qorval_test_peer listen PATH         listens on a Unix stream socket at PATH until standard
//                                        input closes; prints "listening"
//   qorval_test_peer send PATH TEXT      connects to the Unix stream socket PATH, writes TEXT
//                                        and waits for the host to close the connection:
//                                        0 closed, 2 could not connect, 3 still open after 10 s
//   qorval_test_peer ask SOCKET COMMAND  one command to a control socket; prints the answer
//   qorval_test_peer open PORT           opens the port through the port access library and
//                                        closes it again; prints the result
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "portaccess/qorval32.h"

namespace {

constexpr int kCloseWaitMs = 10000;

sockaddr_un AddressOf(const char* path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof(address.sun_path) - 1);
    return address;
}

int Connect(const char* path, int type) {
    const sockaddr_un address = AddressOf(path);
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool InputClosed() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    char byte;
    return ::poll(&input, 1, 0) > 0 && ::read(STDIN_FILENO, &byte, 1) <= 0;
}

bool ClosedByHost(int fd, int timeout_ms) {
    pollfd end{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&end, 1, timeout_ms) <= 0) {
        return false;
    }
    char byte;
    return (end.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0 || ::recv(fd, &byte, 1, 0) <= 0;
}

int Idle(const char* path, int count) {
    std::vector<int> held(static_cast<size_t>(count), -1);
    bool announced = false;
    while (!InputClosed()) {
        for (int& fd : held) {
            if (fd >= 0 && ClosedByHost(fd, 0)) {
                ::close(fd);
                fd = -1;
            }
            if (fd < 0) {
                fd = Connect(path, SOCK_SEQPACKET);
            }
        }
        if (!announced) {
            std::printf("holding\n");
            std::fflush(stdout);
            announced = true;
        }
        // A greedy client, not a busy one: the machine's processors are shared.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

int Listen(const char* path) {
    const sockaddr_un address = AddressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 4) != 0) {
        std::perror("listen");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    ::close(fd);  // the socket file stays, as a program that dies leaves it
    return 0;
}

int Send(const char* path, const char* text) {
    const int fd = Connect(path, SOCK_STREAM);
    if (fd < 0) {
        std::perror("connect");
        return 2;
    }
    (void)::send(fd, text, std::strlen(text), MSG_NOSIGNAL);
    const bool closed = ClosedByHost(fd, kCloseWaitMs);
    std::printf(closed ? "closed by the host\n" : "still connected\n");
    ::close(fd);
    return closed ? 0 : 3;
}

int Ask(const char* path, const char* command) {
    const int fd = Connect(path, SOCK_SEQPACKET);
    if (fd < 0) {
        std::perror("connect");
        return 2;
    }
    char answer[4096];
    pollfd ready{fd, POLLIN, 0};
    ssize_t got = -1;
    if (::send(fd, command, std::strlen(command), MSG_NOSIGNAL) > 0 &&
        ::poll(&ready, 1, kCloseWaitMs) > 0) {
        got = ::recv(fd, answer, sizeof answer, 0);
    }
    ::close(fd);
    if (got <= 0) {
        std::printf("no answer\n");
        return 3;
    }
    std::fwrite(answer, 1, static_cast<size_t>(got), stdout);
    return 0;
}

int Open(const char* port_text) {
    SystemInfo info{};
    const uint32_t listed = QORVAL_GetSystemInfo(&info);
    QORVAL_HANDLE handle = 0;
    const uint32_t opened = QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32,
                                            static_cast<uint16_t>(std::atoi(port_text)), &handle);
    std::printf("system info %u open %u\n", listed, opened);
    if (opened == QORVAL_OK) {
        QORVAL_PortClose(handle);
    }
    return listed == QORVAL_OK && opened == QORVAL_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string form = argc > 1 ? argv[1] : "";
    if (form == "idle" && argc == 4) {
        return Idle(argv[2], std::atoi(argv[3]));
    }
    if (form == "listen" && argc == 3) {
        return Listen(argv[2]);
    }
    if (form == "send" && argc == 4) {
        return Send(argv[2], argv[3]);
    }
    if (form == "ask" && argc == 4) {
        return Ask(argv[2], argv[3]);
    }
    if (form == "open" && argc == 3) {
        return Open(argv[2]);
    }
    std::fprintf(stderr, "usage: see the head of peer_tool.cpp\n");
    return 64;
}
