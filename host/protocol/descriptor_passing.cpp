#include "host/protocol/descriptor_passing.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qorval::protocol {

namespace {
constexpr size_t kMaxPassed = 16;
}

bool SendWithDescriptors(int socket, std::span<const uint8_t> message,
                         std::span<const int> descriptors) {
    if (descriptors.size() > kMaxPassed) {
        return false;
    }
    iovec part{const_cast<uint8_t*>(message.data()), message.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxPassed)] = {};
    if (!descriptors.empty()) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
        cmsghdr* rights = CMSG_FIRSTHDR(&header);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
        std::memcpy(CMSG_DATA(rights), descriptors.data(), sizeof(int) * descriptors.size());
    }
    ssize_t sent;
    do {
        sent = ::sendmsg(socket, &header, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(message.size());
}

void CloseAll(std::vector<int>& descriptors) {
    for (const int fd : descriptors) {
        ::close(fd);
    }
    descriptors.clear();
}

ssize_t ReceiveWithDescriptors(int socket, std::span<uint8_t> buffer, std::vector<int>& descriptors,
                               size_t max_descriptors, int timeout_ms) {
    descriptors.clear();
    pollfd waiting{socket, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return -1;
    }
    iovec part{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxPassed)];
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    ssize_t got;
    do {
        got = ::recvmsg(socket, &header, MSG_TRUNC | MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return -1;
    }
    for (cmsghdr* part_header = CMSG_FIRSTHDR(&header); part_header != nullptr;
         part_header = CMSG_NXTHDR(&header, part_header)) {
        if (part_header->cmsg_level != SOL_SOCKET || part_header->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const size_t count = (part_header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(part_header) + i * sizeof(int), sizeof(int));
            if (descriptors.size() < max_descriptors) {
                descriptors.push_back(fd);
            } else {
                ::close(fd);
            }
        }
    }
    if ((header.msg_flags & MSG_CTRUNC) != 0) {
        CloseAll(descriptors);  // some were lost: none of them can be used
        return -1;
    }
    return got;
}

void Wake(int channel) {
    const uint8_t byte = 1;
    (void)::send(channel, &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
}

void DrainWakes(int channel) {
    uint8_t bytes[64];
    // Bounded: a peer that keeps writing cannot hold the reader here.
    for (int round = 0; round < 16; ++round) {
        if (::recv(channel, bytes, sizeof(bytes), MSG_DONTWAIT) < static_cast<ssize_t>(sizeof(bytes))) {
            return;
        }
    }
}

}  // namespace qorval::protocol
