#pragma once
// The request gate, the hold list and the outstanding-request count of a port device.

#include "driver/port_device.h"

namespace wyvel32 {

// Counts a request in / out. The idle event is cleared as the count rises to 2 and set as it
// falls back to 1; the removed event is set when it reaches 0.
void IoIncrement(PortDevice& device);
void IoDecrement(PortDevice& device);

// Counts a request in for the lifetime of the guard.
class RequestCountGuard {
  public:
    explicit RequestCountGuard(PortDevice& device) : m_device(device) { IoIncrement(device); }
    ~RequestCountGuard() { IoDecrement(m_device); }
    RequestCountGuard(const RequestCountGuard&) = delete;
    RequestCountGuard& operator=(const RequestCountGuard&) = delete;

  private:
    PortDevice& m_device;
};

// Counts the caller's own request out, waits until no other request is in progress, and
// counts it back in. `extra` further counts held by the caller are released for the wait too.
void WaitUntilIdle(PortDevice& device, int extra = 0);

using RequestHandler = NTSTATUS (*)(PortDevice& device, qorval::kernel::Irp* irp);

// The gate in front of create, read, write, start-I/O and device control. While the gate is
// Hold the request is parked on the hold list (pending); after surprise removal or removal it
// fails with STATUS_DELETE_PENDING; otherwise `handler` gets it. `hold` false (create): the
// request is never parked.
NTSTATUS GateRequest(PortDevice& device, qorval::kernel::Irp* irp, RequestHandler handler,
                     bool hold = true);

// Sets the gate and then empties the hold list: requests already cancelled end cancelled,
// with the gate FailHeld they end with STATUS_DELETE_PENDING, otherwise they go to the
// driver's own handlers through the dispatch routine of their major function.
void SetGateAndReplay(PortDevice& device, RequestGate gate);

// Sets the gate without touching the hold list.
void SetGate(PortDevice& device, RequestGate gate);

// Takes the held requests of one file object off the hold list and completes them with
// STATUS_CANCELLED (cleanup of a handle).
void CancelHeldRequests(PortDevice& device, const qorval::kernel::FileObject* file);

// Completes a request with the given status and information.
NTSTATUS CompleteRequest(qorval::kernel::Irp* irp, NTSTATUS status, uint64_t information = 0);

}  // namespace wyvel32
