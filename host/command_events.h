#pragma once
// The events the driver logs while the host runs one control command, so that the command's
// answer can say what the driver refused: "start failed with status 0xC0000001; the driver
// logged event 0xE007000C "SyncNodeAddress": ...". Every entry still goes to the event log.

#include <string>
#include <vector>

#include "platform/event_log.h"

namespace wyvel32::host {

class CommandEventLog : public qorval::platform::EventLogSink {
  public:
    explicit CommandEventLog(qorval::platform::EventLogSink& next) : next_(next) {}

    // To the next sink, and to the capture of the writing thread when it has one.
    void Write(const qorval::platform::EventLogEntry& entry) override;

    // Keeps the entries the constructing thread writes while it lives (a Plug and Play request
    // runs the driver on the thread that sends it). Captures do not nest.
    class Capture {
      public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        const std::vector<qorval::platform::EventLogEntry>& Entries() const { return entries_; }

      private:
        std::vector<qorval::platform::EventLogEntry> entries_;
    };

  private:
    qorval::platform::EventLogSink& next_;
};

// "; the driver logged event 0xE007000C "SyncNodeAddress": <message>" for each error event of
// `entries` (severity 3), or an empty string.
std::string DescribeErrorEvents(const std::vector<qorval::platform::EventLogEntry>& entries);

}  // namespace wyvel32::host
