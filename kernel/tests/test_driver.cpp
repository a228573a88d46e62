#include "kernel/tests/test_driver.h"

#include <algorithm>

#include "kernel/power.h"
#include "kernel/sync.h"

namespace qorval::kernel::testing {
namespace {

TestDevice& Ext(DeviceObject* device) {
    return *static_cast<TestDevice*>(device->DeviceExtension);
}

NTSTATUS Complete(Irp* irp, NTSTATUS status, uint64_t information = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp);
    return status;
}

void CancelRead(DeviceObject* device, Irp* irp) {
    Ext(device).Reads.Remove(irp);
    IoReleaseCancelSpinLock();
    Complete(irp, STATUS_CANCELLED);
}

void CancelWrite(DeviceObject* device, Irp* irp) {
    if (device->CurrentIrp.load() == irp) {
        Ext(device).HeldWrite.store(nullptr);
        IoReleaseCancelSpinLock();
        Complete(irp, STATUS_CANCELLED);
        IoStartNextPacket(device, true);
        return;
    }
    device->Queue.RemoveEntry(irp);
    IoReleaseCancelSpinLock();
    Complete(irp, STATUS_CANCELLED);
}

NTSTATUS Create(DeviceObject* device, Irp* irp) {
    Ext(device).Creates.fetch_add(1);
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS Close(DeviceObject* device, Irp* irp) {
    Ext(device).Closes.fetch_add(1);
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS Cleanup(DeviceObject* device, Irp* irp) {
    Ext(device).Cleanups.fetch_add(1);
    IoAcquireCancelSpinLock();
    std::vector<Irp*> mine = Ext(device).Reads.RemoveIf([&](Irp* queued) {
        return queued->FileObject == irp->FileObject && IoSetCancelRoutine(queued, nullptr);
    });
    IoReleaseCancelSpinLock();
    for (Irp* read : mine) {
        Complete(read, STATUS_CANCELLED);
    }
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS Read(DeviceObject* device, Irp* irp) {
    IoMarkIrpPending(irp);
    IoAcquireCancelSpinLock();
    if (irp->Cancel.load()) {
        IoReleaseCancelSpinLock();
        Complete(irp, STATUS_CANCELLED);
        return STATUS_PENDING;
    }
    IoSetCancelRoutine(irp, CancelRead);
    Ext(device).Reads.PushBack(irp);
    IoReleaseCancelSpinLock();
    return STATUS_PENDING;
}

NTSTATUS Write(DeviceObject* device, Irp* irp) {
    IoMarkIrpPending(irp);
    IoStartPacket(device, irp, CancelWrite);
    return STATUS_PENDING;
}

void StartIo(DeviceObject* device, Irp* irp) {
    if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
        IoReleaseCancelSpinLock();  // its cancel routine completes it
        return;
    }
    if (irp->Parameters.Length == kHoldWrite) {
        Ext(device).HeldWrite.store(irp);
        IoSetCancelRoutine(irp, CancelWrite);  // cancellable while it is held
        IoReleaseCancelSpinLock();
        return;
    }
    IoReleaseCancelSpinLock();
    {
        std::lock_guard guard(Ext(device).OrderLock);
        Ext(device).WriteOrder.push_back(irp->Parameters.Length);
    }
    Complete(irp, STATUS_SUCCESS, irp->Parameters.Length);
    IoStartNextPacket(device, true);
}

NTSTATUS Control(DeviceObject* device, Irp* irp) {
    switch (irp->Parameters.IoControlCode) {
        case kEchoControl:
            return Complete(irp, STATUS_SUCCESS, 1000);
        case kCompleteTwice:
            Complete(irp, STATUS_SUCCESS);
            return Complete(irp, STATUS_SUCCESS);
        case kPendingUnmarked:
            Complete(irp, STATUS_SUCCESS);
            return STATUS_PENDING;  // without IoMarkIrpPending
        case kNeitherCompleted:
            Ext(device).Stray.store(irp);
            return STATUS_SUCCESS;
        case kCompleteWhileQueued: {
            IoAcquireCancelSpinLock();
            Ext(device).Reads.PushBack(irp);
            IoReleaseCancelSpinLock();
            Complete(irp, STATUS_SUCCESS);
            IoAcquireCancelSpinLock();
            Ext(device).Reads.Remove(irp);
            IoReleaseCancelSpinLock();
            return STATUS_SUCCESS;
        }
        default:
            return Complete(irp, STATUS_INVALID_PARAMETER);
    }
}

NTSTATUS SignalEvent(DeviceObject*, Irp*, void* context) {
    static_cast<KEvent*>(context)->Set();
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS Pnp(DeviceObject* device, Irp* irp) {
    // Pass down and wait, then finish here: the pattern of the start and cancel requests.
    KEvent lowerDone(KEvent::Type::Notification, false);
    IoSetCompletionRoutine(irp, SignalEvent, &lowerDone, device);
    IoCallDriver(Ext(device).Lower, irp);
    lowerDone.Wait();
    const NTSTATUS status = irp->IoStatus.Status;
    const bool remove = irp->MinorFunction == IRP_MN_REMOVE_DEVICE;
    IoCompleteRequest(irp);
    if (remove) {
        IoDeleteSymbolicLink(device->Manager, kTestLinkName);
        IoDetachDevice(Ext(device).Lower);
        IoDeleteDevice(device);
    }
    return status;
}

NTSTATUS Power(DeviceObject* device, Irp* irp) {
    PoStartNextPowerIrp(irp);
    return PoCallDriver(Ext(device).Lower, irp);
}

NTSTATUS AddDevice(DriverObject* driver, DeviceObject* pdo) {
    DeviceObject* device = nullptr;
    NTSTATUS status = IoCreateDevice<TestDevice>(driver, kTestDeviceName, FILE_DEVICE_UNKNOWN,
                                                 FILE_DEVICE_SECURE_OPEN, true, &device);
    if (!wyvel32::NT_SUCCESS(status)) {
        return status;
    }
    Ext(device).Self = device;
    Ext(device).Lower = IoAttachDeviceToDeviceStack(device, pdo);
    IoCreateSymbolicLink(device->Manager, kTestLinkName, kTestDeviceName);
    device->Flags.fetch_and(~uint32_t{DO_DEVICE_INITIALIZING});
    return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS TestDriverEntry(DriverObject* driver, const std::string&) {
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Create)] = Create;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Close)] = Close;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Cleanup)] = Cleanup;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Read)] = Read;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Write)] = Write;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::DeviceControl)] = Control;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Pnp)] = Pnp;
    driver->MajorFunction[static_cast<size_t>(MajorFunction::Power)] = Power;
    driver->DriverStartIo = StartIo;
    driver->AddDevice = AddDevice;
    return STATUS_SUCCESS;
}

bool FeedRead(TestDevice& device, const std::vector<uint8_t>& data) {
    IoAcquireCancelSpinLock();
    Irp* irp = nullptr;
    std::vector<Irp*> taken = device.Reads.RemoveIf([&](Irp* queued) {
        if (irp != nullptr || IoSetCancelRoutine(queued, nullptr) == nullptr) {
            return false;
        }
        irp = queued;
        return true;
    });
    IoReleaseCancelSpinLock();
    if (irp == nullptr) {
        return false;
    }
    const size_t count = std::min(data.size(), irp->SystemBuffer.size());
    std::copy_n(data.begin(), count, irp->SystemBuffer.begin());
    Complete(irp, STATUS_SUCCESS, count);
    return true;
}

void ReleaseHeldWrite(TestDevice& device) {
    IoAcquireCancelSpinLock();
    Irp* irp = device.HeldWrite.exchange(nullptr);
    if (irp == nullptr || IoSetCancelRoutine(irp, nullptr) == nullptr) {
        IoReleaseCancelSpinLock();
        return;
    }
    IoReleaseCancelSpinLock();
    Complete(irp, STATUS_SUCCESS, irp->Parameters.Length);
    IoStartNextPacket(device.Self, true);
}

}  // namespace qorval::kernel::testing
