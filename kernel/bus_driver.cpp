#include "kernel/bus_driver.h"

#include "kernel/power.h"

namespace qorval::kernel {
namespace {

NTSTATUS CompleteWith(Irp* irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp);
    return status;
}

NTSTATUS BusPnp(DeviceObject* device, Irp* irp) {
    const auto* info = static_cast<const PhysicalDeviceInfo*>(device->DeviceExtension);
    for (const auto& [minor, status] : info->PnpFailures) {
        if (minor == irp->MinorFunction) {
            return CompleteWith(irp, status);
        }
    }
    switch (irp->MinorFunction) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_REMOVE_DEVICE:
        case IRP_MN_QUERY_CAPABILITIES:
        case IRP_MN_QUERY_DEVICE_STATE:
            return CompleteWith(irp, STATUS_SUCCESS);
        default: {
            // A request the bus does not handle keeps the status it came with.
            const NTSTATUS status = irp->IoStatus.Status;
            IoCompleteRequest(irp);
            return status;
        }
    }
}

NTSTATUS BusPower(DeviceObject*, Irp* irp) {
    PoStartNextPowerIrp(irp);
    return CompleteWith(irp, STATUS_SUCCESS);
}

NTSTATUS BusSystemControl(DeviceObject*, Irp* irp) {
    const NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp);
    return status;
}

NTSTATUS BusOther(DeviceObject*, Irp* irp) {
    irp->IoStatus.Information = 0;
    return CompleteWith(irp, STATUS_INVALID_DEVICE_REQUEST);
}

}  // namespace

void InitialiseBusDriver(DriverObject* driver) {
    driver->Name = kBusDriverName;
    for (auto& routine : driver->MajorFunction) {
        routine = BusOther;
    }
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Pnp)] = BusPnp;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Power)] = BusPower;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::SystemControl)] = BusSystemControl;
}

}  // namespace qorval::kernel
