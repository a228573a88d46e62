#pragma once
// The eight device control codes of a port (device type 0x9C40, all METHOD_BUFFERED), the
// record sizes they carry, and the buffer reset values. Shared by the driver and the library.

#include <cstdint>

namespace wyvel32 {

inline constexpr uint32_t IOCTL_SET_MODEM_CONTROL = 0x9C40A404;
inline constexpr uint32_t IOCTL_GET_MODEM_CONTROL = 0x9C40A408;
inline constexpr uint32_t IOCTL_SET_PORT_STATE = 0x9C40A40C;
inline constexpr uint32_t IOCTL_GET_PORT_STATE = 0x9C406410;
inline constexpr uint32_t IOCTL_GET_PORT_INFO = 0x9C406414;
inline constexpr uint32_t IOCTL_RESET_BUFFERS = 0x9C40A420;
inline constexpr uint32_t IOCTL_GET_BUFFER_COUNT = 0x9C40A424;
inline constexpr uint32_t IOCTL_SET_NODE_ADDRESS = 0x9C40A458;

inline constexpr uint32_t kPortInfoSize = 68;
inline constexpr uint32_t kPortStateSize = 84;
inline constexpr uint32_t kModemControlSize = 2;
inline constexpr uint32_t kBufferCountSize = 4;

// Values of the IOCTL_RESET_BUFFERS byte.
inline constexpr uint8_t kResetReceive = 1;
inline constexpr uint8_t kResetTransmit = 2;
inline constexpr uint8_t kResetBoth = 4;

}  // namespace wyvel32
