#pragma once
// The dispatch routines of the driver: what each request major function reaches first.

#include "driver/port_device.h"

namespace wyvel32 {

// Fills the driver object's dispatch table, start-I/O and add-device routines.
void RegisterDispatchRoutines(qorval::kernel::DriverObject* driver);

// Hands a request taken off the hold list to this driver's handler for its major function.
void ReplayRequest(PortDevice& device, qorval::kernel::Irp* irp);

// DriverContext[0] of a write on its way back from the hold list.
extern char kReplayedWrite;

// Add device: takes a port number, creates and attaches the port's device object.
NTSTATUS AddDevice(qorval::kernel::DriverObject* driver,
                   qorval::kernel::DeviceObject* physical_device);

// Request handlers behind the gate (request_*.cpp).
NTSTATUS HandleCreate(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS HandleRead(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS HandleWrite(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS ServeWrite(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS HandleDeviceControl(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS HandleClose(PortDevice& device, qorval::kernel::Irp* irp);
NTSTATUS HandleCleanup(PortDevice& device, qorval::kernel::Irp* irp);

// Plug and Play, power and system control (lifecycle_*.cpp).
NTSTATUS DispatchPnp(qorval::kernel::DeviceObject* device, qorval::kernel::Irp* irp);
NTSTATUS DispatchPower(qorval::kernel::DeviceObject* device, qorval::kernel::Irp* irp);
NTSTATUS DispatchSystemControl(qorval::kernel::DeviceObject* device, qorval::kernel::Irp* irp);

// Start-I/O routine for writes, entered holding the system cancel lock.
void StartIo(qorval::kernel::DeviceObject* device, qorval::kernel::Irp* irp);

}  // namespace wyvel32
