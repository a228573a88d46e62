#pragma once
// Codes and small records of the kernel model: request major and minor functions, the
// extra status codes the I/O manager itself returns, Plug and Play resources and power states.
//
// The values are those of the original kernel, so a status or a code seen in a log or on the
// wire means the same thing it meant there.

#include <cstdint>
#include <optional>
#include <vector>

#include "driver/ntstatus.h"

namespace qorval::kernel {

// The driver's status codes, under the same names here.
using wyvel32::NT_SUCCESS;
using wyvel32::NTSTATUS;
using wyvel32::STATUS_BUFFER_OVERFLOW;
using wyvel32::STATUS_CANCELLED;
using wyvel32::STATUS_CRC_ERROR;
using wyvel32::STATUS_DATA_OVERRUN;
using wyvel32::STATUS_DELETE_PENDING;
using wyvel32::STATUS_DEVICE_BUSY;
using wyvel32::STATUS_DEVICE_CONFIGURATION_ERROR;
using wyvel32::STATUS_INFO_LENGTH_MISMATCH;
using wyvel32::STATUS_INSUFFICIENT_RESOURCES;
using wyvel32::STATUS_INVALID_DEVICE_REQUEST;
using wyvel32::STATUS_INVALID_PARAMETER;
using wyvel32::STATUS_NO_SUCH_DEVICE;
using wyvel32::STATUS_NOT_SUPPORTED;
using wyvel32::STATUS_OBJECT_NAME_COLLISION;
using wyvel32::STATUS_OBJECT_NAME_NOT_FOUND;
using wyvel32::STATUS_PENDING;
using wyvel32::STATUS_SUCCESS;
using wyvel32::STATUS_UNSUCCESSFUL;

// Status codes used by the I/O manager model in addition to those the driver returns.
inline constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = 0xC0000016;
inline constexpr NTSTATUS STATUS_ACCESS_DENIED = 0xC0000022;
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = 0xC0000008;
inline constexpr NTSTATUS STATUS_TOO_MANY_OPENED_FILES = 0xC000011F;

// Major function codes of a request.
enum class MajorFunction : uint8_t {
    Create = 0x00,
    Close = 0x02,
    Read = 0x03,
    Write = 0x04,
    DeviceControl = 0x0E,
    Cleanup = 0x12,
    Power = 0x16,
    SystemControl = 0x17,
    Pnp = 0x1B,
};
inline constexpr size_t kMajorFunctionCount = 0x1C;

// Plug and Play minor functions.
enum PnpMinor : uint8_t {
    IRP_MN_START_DEVICE = 0x00,
    IRP_MN_QUERY_REMOVE_DEVICE = 0x01,
    IRP_MN_REMOVE_DEVICE = 0x02,
    IRP_MN_CANCEL_REMOVE_DEVICE = 0x03,
    IRP_MN_STOP_DEVICE = 0x04,
    IRP_MN_QUERY_STOP_DEVICE = 0x05,
    IRP_MN_CANCEL_STOP_DEVICE = 0x06,
    IRP_MN_QUERY_CAPABILITIES = 0x09,
    IRP_MN_QUERY_RESOURCES = 0x0A,
    IRP_MN_QUERY_DEVICE_STATE = 0x14,
    IRP_MN_SURPRISE_REMOVAL = 0x17,
};

// Power minor functions.
enum PowerMinor : uint8_t {
    IRP_MN_WAIT_WAKE = 0x00,
    IRP_MN_POWER_SEQUENCE = 0x01,
    IRP_MN_SET_POWER = 0x02,
    IRP_MN_QUERY_POWER = 0x03,
};

enum class PowerStateType : uint8_t { System = 0, Device = 1 };

enum class DevicePowerState : uint8_t { Unspecified = 0, D0 = 1, D1 = 2, D2 = 3, D3 = 4 };

enum class SystemPowerState : uint8_t {
    Unspecified = 0,
    Working = 1,
    Sleeping1 = 2,
    Sleeping2 = 3,
    Sleeping3 = 4,
    Hibernate = 5,
    Shutdown = 6,
};

// One entry of a Plug and Play resource list (CM_PARTIAL_RESOURCE_DESCRIPTOR, reduced to the
// three kinds a PCI function reports).
struct ResourceDescriptor {
    enum class Type : uint8_t { Port, Memory, Interrupt };
    Type type = Type::Port;
    uint64_t start = 0;     // port or memory: bus address of the range
    uint32_t length = 0;    // port or memory: length in bytes
    uint32_t level = 0;     // interrupt: level (raw list) or IRQL (translated list)
    uint32_t vector = 0;    // interrupt: vector
    uint64_t affinity = 0;  // interrupt: processor affinity (translated list)

    static ResourceDescriptor PortRange(uint64_t start, uint32_t length) {
        return {Type::Port, start, length, 0, 0, 0};
    }
    static ResourceDescriptor MemoryRange(uint64_t start, uint32_t length) {
        return {Type::Memory, start, length, 0, 0, 0};
    }
    static ResourceDescriptor Interrupt(uint32_t level, uint32_t vector, uint64_t affinity) {
        return {Type::Interrupt, 0, 0, level, vector, affinity};
    }
};
using ResourceList = std::vector<ResourceDescriptor>;

// Device properties a driver can ask the bus driver for (IoGetDeviceProperty).
enum class DeviceProperty : uint8_t { BusNumber, Address };

// Device object flags the driver sets.
enum DeviceFlags : uint32_t {
    DO_BUFFERED_IO = 0x0004,
    DO_EXCLUSIVE = 0x0008,
    DO_DEVICE_INITIALIZING = 0x0080,
    DO_POWER_PAGABLE = 0x2000,
};

inline constexpr uint32_t FILE_DEVICE_UNKNOWN = 0x22;
inline constexpr uint32_t FILE_DEVICE_SECURE_OPEN = 0x100;

}  // namespace qorval::kernel
