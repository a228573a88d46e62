#pragma once
// Where a byte-stream wiring listens: "unix:<path>" or "tcp:[addr:]<port>" (127.0.0.1 unless
// an address is given; port 0 lets the system choose).

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qorval::host {

struct StreamAddress {
    enum class Kind { Unix, Tcp };
    Kind kind = Kind::Unix;
    std::string path;                // unix
    std::string host = "127.0.0.1";  // tcp: numeric IPv4 address to bind
    uint16_t port = 0;               // tcp
};

// Returns an empty string on success, else the message for the user.
[[nodiscard]] std::string ParseStreamAddress(std::string_view text, StreamAddress* address);

// The address in the form it was parsed from ("unix:/run/x", "tcp:127.0.0.1:4000").
std::string FormatStreamAddress(const StreamAddress& address);

// A listening socket, and for a Unix socket the file made for it: only that file is removed
// when the wiring ends, never one that took its place meanwhile.
struct StreamListener {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
};

// Makes a listening, close-on-exec, non-blocking socket for the address. At a Unix path, only a
// socket file of the host's own user that nobody listens on (left by an earlier run) is
// replaced; a socket somebody listens on, another user's, or any other file is left alone and
// reported. The socket file is made 0600: the peer must be the host's own user anyway. For TCP
// the port actually bound is written back (port 0 asks the system for one). Returns the
// listener, its fd -1 with `error` set on failure.
StreamListener ListenOn(StreamAddress* address, std::string* error);

// Closes the listener and removes its socket file if the path still names it.
void CloseListener(const StreamAddress& address, StreamListener& listener);

}  // namespace qorval::host
