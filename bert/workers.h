#pragma once
// The tester's three workers. Each runs on its own thread while its running flag is set and is
// handed a parameter block of pointers to the items it shares with the window.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "bert/bert_counters.h"
#include "bert/checker.h"
#include "portaccess/port_loss.h"

class Qorval_Port;

namespace qorval::bert {

// Why the port went away under the workers; kNone while it is there. The first worker that
// finds it gone sets it, the window reads it on its timer.
using SharedPortLoss = std::atomic<PortLoss>;

struct TransmitParams {
    Qorval_Port* port;
    std::atomic<uint16_t>* running;
    std::atomic<uint32_t>* txFrames;
    SharedPortLoss* portLoss;
};

struct ReceiveParams {
    Qorval_Port* port;
    std::atomic<uint16_t>* running;
    const std::atomic<uint32_t>* repeatMode;
    BertCounters* counters;  // frames, errors, bytes checked, sync state, no-data ticks
    BertChecker* checker;    // its registers outlive the worker
    SharedPortLoss* portLoss;
};

struct DiskLoadParams {
    std::atomic<uint16_t>* running;
    std::filesystem::path directory;  // where "testfile.dat" is written
    // Told, on the worker's thread, why the worker ended on its own; may be empty.
    std::function<void(const std::string& problem)> ended;
};

// Sends frames of the first 511 pattern bytes while a transmit buffer is free. The wait for a
// free buffer also ends when the running flag is cleared. Ends at once when the port has gone.
void TransmitWorker(TransmitParams params);

// Reads frames without pausing, sends each back in repeat mode, counts frames and errors by
// kind and runs the checker. Ends at once when the port's description cannot be read or the
// buffer cannot be had, and when the port has gone (a dead handle fails every read at once, so
// counting its failures would only spin).
void ReceiveWorker(ReceiveParams params);

// After a request of a worker failed with `result`: whether the port has gone; if so, the
// cause is recorded in `loss` (unless another worker recorded it first).
bool PortGone(Qorval_Port& port, uint32_t result, SharedPortLoss& loss);

// Keeps the disk busy: writes 4088-byte zero blocks to "testfile.dat", going back to the start
// after 10 MB. Ends when the file cannot be created or a write fails. A name that is not a
// regular file (a FIFO, a device) or that is a symbolic link is not opened for writing: the
// folder may be shared, and a link planted there must not turn the zeros onto another file.
void DiskLoadWorker(DiskLoadParams params);

inline constexpr char kDiskLoadFileName[] = "testfile.dat";

}  // namespace qorval::bert
