#pragma once
// Where a byte-stream wiring listens: "unix:<path>" or "tcp:[addr:]<port>" (127.0.0.1 unless
// an address is given; port 0 lets the system choose).

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

// Makes a listening, close-on-exec, non-blocking socket for the address. A stale Unix socket
// file at the path is replaced; any other file there is left alone and reported. For TCP the
// port actually bound is written back (port 0 asks the system for one). Returns the socket, or
// -1 with `error` set.
int ListenOn(StreamAddress* address, std::string* error);

}  // namespace qorval::host
