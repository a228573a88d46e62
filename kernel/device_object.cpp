#include "kernel/device_object.h"

#include "kernel/io_manager.h"
#include "kernel/verifier.h"

namespace qorval::kernel {

DeviceObject::DeviceObject(IoManager& manager, DriverObject* driver, std::string name,
                           std::shared_ptr<void> extension, uint32_t device_type,
                           uint32_t characteristics)
    : Manager(manager),
      Driver(driver),
      Name(std::move(name)),
      DeviceType(device_type),
      Characteristics(characteristics),
      DeviceExtension(extension.get()),
      m_extension(std::move(extension)) {}

NTSTATUS IoCreateDeviceWithExtension(DriverObject* driver, const std::string& name,
                                     std::shared_ptr<void> extension, uint32_t device_type,
                                     uint32_t characteristics, bool exclusive,
                                     DeviceObject** device) {
    *device = nullptr;
    if (driver == nullptr || driver->Manager == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    auto created = std::make_shared<DeviceObject>(
        *driver->Manager, driver, name, std::move(extension), device_type, characteristics);
    if (exclusive) {
        created->Flags.fetch_or(DO_EXCLUSIVE);
    }
    const NTSTATUS status = driver->Manager->RegisterDevice(created);
    if (!wyvel32::NT_SUCCESS(status)) {
        return status;
    }
    *device = created.get();
    return STATUS_SUCCESS;
}

void IoDeleteDevice(DeviceObject* device) {
    device->Deleted.store(true);
    device->Manager.UnregisterDevice(device);
}

DeviceObject* IoAttachDeviceToDeviceStack(DeviceObject* source, DeviceObject* target) {
    if (target == nullptr || target->Deleted.load()) {
        return nullptr;
    }
    DeviceObject* top = target;
    while (DeviceObject* above = top->AttachedDevice.load()) {
        top = above;
    }
    top->AttachedDevice.store(source);
    source->LowerDevice.store(top);
    return top;
}

void IoDetachDevice(DeviceObject* lower) {
    if (DeviceObject* above = lower->AttachedDevice.exchange(nullptr)) {
        above->LowerDevice.store(nullptr);
    }
}

NTSTATUS IoCallDriver(DeviceObject* device, Irp* irp) {
    irp->CurrentDevice.store(device);
    const DispatchRoutine routine =
        device->Driver->MajorFunction[static_cast<size_t>(irp->MajorFunction)];
    if (routine == nullptr) {
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    const NTSTATUS status = routine(device, irp);
    if (status == STATUS_PENDING && !irp->MarkedPending.load()) {
        Verifier::Report("dispatch routine of " + device->Name +
                         " returned STATUS_PENDING for a request it did not mark pending");
    }
    return status;
}

NTSTATUS IoGetDeviceProperty(DeviceObject* physical_device, DeviceProperty property,
                             uint32_t* value) {
    if (physical_device == nullptr ||
        physical_device->Driver != physical_device->Manager.BusDriver()) {
        return STATUS_INVALID_PARAMETER;
    }
    const auto* info = static_cast<const PhysicalDeviceInfo*>(physical_device->DeviceExtension);
    switch (property) {
        case DeviceProperty::BusNumber:
            *value = info->BusNumber;
            return STATUS_SUCCESS;
        case DeviceProperty::Address:
            *value = (info->DeviceNumber << 16) | (info->FunctionNumber & 0xFFFF);
            return STATUS_SUCCESS;
    }
    return STATUS_INVALID_PARAMETER;
}

}  // namespace qorval::kernel
