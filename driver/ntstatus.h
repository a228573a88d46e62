#pragma once
// Kernel status codes the driver returns, with the values of the original platform.
// Success and informational codes have the top bit clear; warnings start 0x8, errors 0xC.

#include <cstdint>

namespace wyvel32 {

using NTSTATUS = uint32_t;

inline constexpr NTSTATUS STATUS_SUCCESS = 0x00000000;
inline constexpr NTSTATUS STATUS_PENDING = 0x00000103;
inline constexpr NTSTATUS STATUS_BUFFER_OVERFLOW = 0x80000005;
inline constexpr NTSTATUS STATUS_DEVICE_BUSY = 0x80000011;
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = 0xC0000001;
inline constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = 0xC0000004;
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = 0xC000000D;
inline constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = 0xC000000E;
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = 0xC0000010;
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = 0xC0000023;
inline constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH = 0xC0000024;
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = 0xC0000034;
inline constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = 0xC0000035;
inline constexpr NTSTATUS STATUS_DATA_OVERRUN = 0xC000003C;
inline constexpr NTSTATUS STATUS_CRC_ERROR = 0xC000003F;
inline constexpr NTSTATUS STATUS_DELETE_PENDING = 0xC0000056;
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = 0xC000009A;
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = 0xC00000BB;
inline constexpr NTSTATUS STATUS_CANCELLED = 0xC0000120;
inline constexpr NTSTATUS STATUS_DEVICE_CONFIGURATION_ERROR = 0xC0000182;

// NT_SUCCESS: success and informational codes (severity 0 or 1).
constexpr bool NT_SUCCESS(NTSTATUS status) { return (status & 0x80000000u) == 0; }

}  // namespace wyvel32
