#pragma once
// The tester's window logic without widgets: it owns the port object, starts and stops the
// workers, and turns the shared counters into the texts the window shows on its 100 ms timer.
// All member functions are called from the window's thread.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "bert/bert_counters.h"
#include "bert/bert_texts.h"
#include "bert/checker.h"
#include "bert/worker_thread.h"
#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {

// What the window shows, refreshed by Tick.
struct BertDisplay {
    std::string testTime = text::kTestTimeAtStart;
    std::string txFrames = "0", rxFrames = "0", bytesChecked = "0", bitErrors = "0",
                overrunErrors = "0", crcErrors = "0", lineErrors = "0", otherErrors = "0",
                syncLosses = "0";
    std::string txRate = "0", rxRate = "0";  // in bits per second, without the unit
    std::string status = text::kNoData;
    std::string txBuffers = "0", rxBuffers = "0";
    int txBufferBar = 0, rxBufferBar = 0;      // progress bar positions
    int txBufferRange = 0, rxBufferRange = 0;  // progress bar ranges from PortInfo
};

class BertSession {
  public:
    // `diskDirectory`: where the disk load worker writes its file.
    explicit BertSession(std::filesystem::path diskDirectory = ".");
    ~BertSession();
    BertSession(const BertSession&) = delete;
    BertSession& operator=(const BertSession&) = delete;

    // The port object the dialogs select, inspect and configure.
    Qorval_Port& Port() { return port_; }
    const BertDisplay& Display() const { return display_; }
    const BertCounters& Counters() const { return counters_; }

    // "Open ..." after the dialog's OK: opens the selected port and starts the receive worker.
    // A non-zero result means the port stays closed (the window shows "Failure opening port.").
    [[nodiscard]] uint32_t OpenPort();
    // "Close": stops every worker, unchecks "Disk Thread" and closes the port.
    void ClosePort();
    // How "Close" and "Exit" run the port's close, which may take seconds while the frames
    // queued leave the card; empty (at first): on the calling thread.
    void SetCloseRunner(PortCloseRunner run) { closeRunner_ = std::move(run); }
    // "Start" / "Stop": the message to show, if any.
    std::optional<std::string_view> StartStop();
    // "State ...": stops the workers, runs the dialog, reads the port again and restarts them.
    void RunPortStateDialog(const std::function<void(Qorval_Port&)>& dialog);
    // "Reset Stats".
    void ResetStats();
    void SetRepeatMode(bool on);
    void SetDiskThread(bool on);
    // "Exit" or closing: every running flag cleared, every worker awaited, the port closed.
    void Shutdown();
    // The 100 ms timer. When a worker found the port gone, the workers are stopped and the
    // port closed as "Close" does, and the message saying so waits in TakePortLossMessage.
    void Tick();
    // The text telling that the port has gone and what to do, once after the Tick that found
    // it; nullopt otherwise.
    std::optional<std::string> TakePortLossMessage();

    // Control states.
    bool IsPortOpen() const { return port_.IsOpen(); }
    std::string_view PortButtonCaption() const;
    std::string_view TransmitButtonCaption() const;
    bool StartEnabled() const { return startEnabled_; }
    bool StateEnabled() const { return stateEnabled_; }
    bool DiskEnabled() const { return diskEnabled_; }
    bool DiskChecked() const { return diskChecked_; }
    bool RepeatMode() const { return repeatMode_.load(std::memory_order_relaxed) != 0; }
    // Why the disk load worker ended on its own since the last call (empty: it did not).
    std::string TakeDiskProblem();

  private:
    void ReadPortFigures();
    void StartReceive();
    void StartTransmit();
    void StartDisk();
    void StopAll();
    void ClosePortLost(PortLoss loss);
    void ShowCounters();
    void ComputeRates(uint32_t elapsedMs);

    // The port outlives the workers that use it: it is declared first, destroyed last.
    Qorval_Port port_{QORVAL_DRIVER_WYVEL32, 1};
    std::filesystem::path diskDirectory_;
    BertCounters counters_;
    BertChecker checker_;
    std::atomic<uint32_t> repeatMode_{0};
    SharedPortLoss portLoss_{PortLoss::kNone};
    std::optional<std::string> portLossMessage_;
    PortCloseRunner closeRunner_;
    uint32_t dataBits_ = 8;
    uint32_t statsStartMs_ = 0;
    uint32_t rateTick_ = 0;
    // Previous values of the rate computation, kept across openings of the port.
    double prevTxFrames_ = 0, prevBytesChecked_ = 0, prevSeconds_ = 0;
    bool transmitting_ = false;  // the transmit button reads "Stop"
    bool startEnabled_ = false, stateEnabled_ = false, diskEnabled_ = false;
    bool diskChecked_ = false;
    BertDisplay display_;
    // The disk worker writes why it ended; the window's thread takes it.
    std::mutex diskProblemLock_;
    std::string diskProblem_;
    WorkerThread transmit_, receive_, disk_;
};

}  // namespace qorval::bert
