#include "driver/lifecycle_hardware.h"

#include <mutex>

#include "driver/channel_programme.h"
#include "driver/config_sequence.h"
#include "driver/frame_engine.h"
#include "driver/register_access.h"
#include "driver/register_map.h"
#include "kernel/io_manager.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

// Settling time after the DMA is paused and the interrupts disarmed, before disconnecting.
constexpr uint32_t kReleaseStallMicroseconds = 60;

// Which occurrence of each range type carries which window.
constexpr int kBoardPortRange = 2;
constexpr int kIuscMemoryRange = 2;
constexpr int kCardMemoryRange = 3;

// Maps the two windows through the kernel and remembers both mappings for the release.
class KernelWindowMapper final : public WindowMapper {
  public:
    explicit KernelWindowMapper(PortDevice& device) : m_device(device) {}

    Hardware* MapWindows(const PortConfig& config) override {
        IoManager& kernel = m_device.Self->Manager;
        Hardware* memory = MmMapIoSpace(kernel, config.Memory, kMemoryLength);
        if (memory == nullptr) {
            return nullptr;
        }
        Hardware* iusc = MmMapIoSpace(kernel, config.IUSC, kIuscLength);
        if (iusc == nullptr) {
            MmUnmapIoSpace(kernel, memory, kMemoryLength);
            return nullptr;
        }
        m_device.MappedMemory = memory;
        m_device.MappedIusc = iusc;
        return memory;
    }

  private:
    PortDevice& m_device;
};

void UnmapWindows(PortDevice& device) {
    IoManager& kernel = device.Self->Manager;
    if (device.MappedMemory != nullptr) {
        MmUnmapIoSpace(kernel, device.MappedMemory, kMemoryLength);
    }
    if (device.MappedIusc != nullptr) {
        MmUnmapIoSpace(kernel, device.MappedIusc, kIuscLength);
    }
    device.MappedMemory = nullptr;
    device.MappedIusc = nullptr;
    device.port.hardware = nullptr;
}

void DeleteLink(PortDevice& device) {
    if (device.LinkCreated) {
        IoDeleteSymbolicLink(device.Self->Manager, device.LinkName);
        device.LinkCreated = false;
    }
}

// The port's interrupt service routine: the frame engine services the card; when frames
// wait, a DPC serves a read that may be waiting for one.
bool PortInterruptService(KInterrupt*, void* context) {
    auto& device = *static_cast<PortDevice*>(context);
    const bool mine = ServiceInterrupt(device.port);
    if (mine && device.port.RxFramesWaiting.load() != 0) {
        KeInsertQueueDpc(device.Self->Manager, &device.ReadDpc);
    }
    return mine;
}

// Fills the resources, location and identity of the port into `config`. False when the board
// registers, the card-memory window or the interrupt is missing.
bool TakeResources(PortDevice& device, const ResourceList& raw, const ResourceList& translated,
                   PortConfig& config) {
    int ports = 0;
    int memories = 0;
    bool board = false;
    bool memory = false;
    bool interrupt = false;
    for (const ResourceDescriptor& d : translated) {
        switch (d.type) {
            case ResourceDescriptor::Type::Port:
                if (++ports == kBoardPortRange) {
                    config.BaseIO = d.start;
                    config.TranslatedBaseIO = d.start;
                    config.IoLength = d.length;
                    board = true;
                }
                break;
            case ResourceDescriptor::Type::Memory:
                ++memories;
                if (memories == kIuscMemoryRange) {
                    config.IUSC = d.start;
                    config.IuscLength = d.length;
                } else if (memories == kCardMemoryRange) {
                    config.Memory = d.start;
                    config.MemoryLength = d.length;
                    memory = true;
                }
                break;
            case ResourceDescriptor::Type::Interrupt:
                config.InterruptVector = d.vector;
                config.Irql = d.level;
                config.Affinity = d.affinity;
                interrupt = true;
                break;
        }
    }
    // The interrupt level comes from the raw list.
    bool rawInterrupt = false;
    for (const ResourceDescriptor& d : raw) {
        if (d.type == ResourceDescriptor::Type::Interrupt) {
            config.Interrupt = d.level;
            config.InterruptVectorLevel = d.level;
            rawInterrupt = true;
            break;
        }
    }
    config.InterruptMode = kInterruptModeLevel;
    config.ShareVector = 1;
    config.FloatingSave = 0;
    config.PortNumber = static_cast<uint8_t>(device.PortIndex + 1);
    return board && memory && interrupt && rawInterrupt;
}

}  // namespace

NTSTATUS StartPortHardware(PortDevice& device, const Irp* start) {
    const ResourceList* raw = start->Parameters.AllocatedResources;
    const ResourceList* translated = start->Parameters.AllocatedResourcesTranslated;
    if (raw == nullptr || translated == nullptr) {
        return STATUS_DEVICE_CONFIGURATION_ERROR;
    }
    uint32_t bus = 0;
    uint32_t address = 0;
    NTSTATUS status = IoGetDeviceProperty(device.Physical, DeviceProperty::BusNumber, &bus);
    if (NT_SUCCESS(status)) {
        status = IoGetDeviceProperty(device.Physical, DeviceProperty::Address, &address);
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }
    PortConfig config{};
    config.BusNum = bus;
    config.PCIDevice = address >> 16;
    config.PCIFunction = address & 0xFFFF;
    if (!TakeResources(device, *raw, *translated, config)) {
        return STATUS_DEVICE_CONFIGURATION_ERROR;
    }
    device.Location = config.Location();
    device.BusType = kBusTypePci;

    KernelWindowMapper mapper(device);
    status = RunStartConfiguration(device.port, config, mapper);
    if (!NT_SUCCESS(status)) {
        UnmapWindows(device);  // a pass that failed after mapping leaves nothing mapped
        return status;
    }

    std::unique_lock hardware(device.HardwareLock);
    status = IoCreateSymbolicLink(device.Self->Manager, device.LinkName, device.DeviceName);
    if (NT_SUCCESS(status)) {
        device.LinkCreated = true;
        ClearRings(device.port);
        status = StartTimeBoardCheck(device.port);
    }
    if (NT_SUCCESS(status)) {
        const PortConfig& c = device.port.config;
        status = IoConnectInterrupt(device.Self->Manager, &device.Interrupt, PortInterruptService,
                                    &device, c.InterruptVector, c.Irql, c.Affinity, true, true);
    }
    if (!NT_SUCCESS(status)) {
        DeleteLink(device);
        UnmapWindows(device);
        return status;
    }
    device.port.interrupt_sync = device.Interrupt;
    // The channel waits, stopped, for an open.
    KeSynchronizeExecution(device.Interrupt, [&] { return StopPort(device.port); });
    device.HardwareStarted = true;
    return STATUS_SUCCESS;
}

void ReleasePortHardware(PortDevice& device) {
    std::unique_lock hardware(device.HardwareLock);
    if (!device.HardwareStarted) {
        return;
    }
    device.HardwareStarted = false;
    PortContext& port = device.port;
    KeSynchronizeExecution(device.Interrupt, [&] {
        WriteIusc16(port, iusc::DCAR, dcar::kPauseAll);
        WriteIusc16(port, iusc::ICR, 0);
        WriteIusc16(port, iusc::DICR, 0);
    });
    port.hardware->StallMicroseconds(kReleaseStallMicroseconds);
    IoDisconnectInterrupt(device.Interrupt);
    device.Interrupt = nullptr;
    port.interrupt_sync = nullptr;
    port.hardware->WriteBoard(board::kControl, 0);
    UnmapWindows(device);
    DeleteLink(device);
}

}  // namespace wyvel32
