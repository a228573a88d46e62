#pragma once
// The control bytes, protocols and step results of the XMODEM / YMODEM family as the terminal
// uses them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qorval::terminal {

inline constexpr uint8_t kSoh = 0x01;  // a 128-byte block follows
inline constexpr uint8_t kStx = 0x02;  // a 1024-byte block follows
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kCan = 0x18;
inline constexpr uint8_t kStartCrc = 'C';  // receiver asks for CRC-16 blocks
inline constexpr uint8_t kStartG = 'G';    // receiver asks for YMODEM-G streaming

inline constexpr size_t kSmallBlock = 128;
inline constexpr size_t kLargeBlock = 1024;
// Header, number, complement, the largest data field and a two-byte CRC.
inline constexpr size_t kMaxBlockFrame = 3 + kLargeBlock + 2;
// A transfer that is abandoned sends this many CAN bytes.
inline constexpr int kCancelBytes = 8;

enum class Protocol : int { Xmodem = 1, Xmodem1K = 2, Ymodem = 3, YmodemG = 4 };

// "X-MODEM", "X-MODEM 1K", "Y-MODEM", "Y-MODEM G".
std::string_view ProtocolName(Protocol protocol);
// The protocol chosen in the selection dialog: choices 1 to 3 as they are, anything else is 4.
Protocol ProtocolFromChoice(int choice);
// "xmodem", "xmodem-1k", "ymodem", "ymodem-g" (command-line names); nullopt for others.
std::optional<Protocol> ProtocolFromName(std::string_view name);
inline bool IsYmodem(Protocol p) {
    return p == Protocol::Ymodem || p == Protocol::YmodemG;
}

// Results passed between the transfer steps.
enum class Step : int {
    Block128 = 1,         // a 128-byte block received
    Block1K = 2,          // a 1024-byte block received
    Timeout = 3,          // timeout or failure
    EndOfFile = 4,        // EOT received
    Acknowledged = 6,     // ACK
    FileReadError = 8,    // the file could not be read
    UserCancelled = 9,    // the cancel flag was set
    Nak = 21,             // NAK
    RemoteCancelled = 24  // CAN CAN from the far end
};

}  // namespace qorval::terminal
