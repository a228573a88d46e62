#include "driver/request_dispatch.h"

#include "driver/lifecycle_gate.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

NTSTATUS DispatchCreate(DeviceObject* device, Irp* irp) {
    // Create passes the state test of the gate but is never held: an open either works now
    // or fails now.
    return GateRequest(PortOf(device), irp, HandleCreate, false);
}

NTSTATUS DispatchClose(DeviceObject* device, Irp* irp) {
    RequestCountGuard counted(PortOf(device));
    return HandleClose(PortOf(device), irp);
}

NTSTATUS DispatchCleanup(DeviceObject* device, Irp* irp) {
    RequestCountGuard counted(PortOf(device));
    return HandleCleanup(PortOf(device), irp);
}

NTSTATUS DispatchReadWrite(DeviceObject* device, Irp* irp) {
    return GateRequest(PortOf(device), irp,
                       irp->MajorFunction == MajorFunction::Read ? HandleRead : HandleWrite);
}

NTSTATUS DispatchDeviceControl(DeviceObject* device, Irp* irp) {
    return GateRequest(PortOf(device), irp, HandleDeviceControl);
}

void Set(DriverObject* driver, MajorFunction major, DispatchRoutine routine) {
    driver->MajorFunction[static_cast<size_t>(major)] = routine;
}

}  // namespace

void RegisterDispatchRoutines(DriverObject* driver) {
    Set(driver, MajorFunction::Create, DispatchCreate);
    Set(driver, MajorFunction::Close, DispatchClose);
    Set(driver, MajorFunction::Read, DispatchReadWrite);
    Set(driver, MajorFunction::Write, DispatchReadWrite);
    Set(driver, MajorFunction::DeviceControl, DispatchDeviceControl);
    Set(driver, MajorFunction::Cleanup, DispatchCleanup);
    Set(driver, MajorFunction::Pnp, DispatchPnp);
    Set(driver, MajorFunction::Power, DispatchPower);
    Set(driver, MajorFunction::SystemControl, DispatchSystemControl);
    driver->DriverStartIo = StartIo;
    driver->AddDevice = AddDevice;
}

char kReplayedWrite = 0;

void ReplayRequest(PortDevice& device, Irp* irp) {
    // Past the gate (the replay holds it shut until the list is empty) but not past the state
    // test. The request was marked pending when it was held; this result is not needed.
    switch (irp->MajorFunction) {
        case MajorFunction::Read:
            (void)GateRequest(device, irp, HandleRead, false);
            break;
        case MajorFunction::Write:
            // Marked so that start-I/O lets it through the gate the replay keeps shut.
            irp->DriverContext[0] = &kReplayedWrite;
            (void)GateRequest(device, irp, HandleWrite, false);
            break;
        case MajorFunction::DeviceControl:
            (void)GateRequest(device, irp, HandleDeviceControl, false);
            break;
        default:
            CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
            break;
    }
}

}  // namespace wyvel32
