#pragma once
// The read queue: one read served at a time, the rest queued behind it, all under the system
// cancel lock.

#include "driver/port_device.h"

namespace wyvel32 {

// Serves the current read, and the ones after it, until one has to wait (or none is left).
// Safe to call from any thread at any time; a call while another thread serves only makes
// that thread try once more.
void ServeReads(PortDevice& device);

// DPC routine queued by the interrupt service routine when frames are waiting.
void ReadDpcRoutine(qorval::kernel::KDpc* dpc, void* context);

// Cleanup: takes the queued reads of `file`, and its current read when that one is waiting
// for a frame rather than being served, and completes them with STATUS_CANCELLED.
void CancelReadsOf(PortDevice& device, const qorval::kernel::FileObject* file);

}  // namespace wyvel32
