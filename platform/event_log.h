// Event log sinks: where the driver's administrator-visible events go.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace qorval::platform {

struct EventLogEntry {
    std::string source;       // "Wyvel32" or a device name
    uint32_t error_code = 0;  // event code, e.g. 0xE007000C
    uint32_t unique_value = 0;
    uint8_t major_function = 0;
    uint32_t final_status = 0;
    uint32_t io_control_code = 0;
    std::vector<uint32_t> dump_data;
    std::vector<std::string> strings;  // insertion strings
};

// One line without line end: source, code in hex, the request fields, the insertion strings
// (quoted, with control characters escaped so the entry stays on one line) and the dump words.
std::string FormatEventLogEntry(const EventLogEntry&);

class EventLogSink {
  public:
    virtual ~EventLogSink() = default;
    virtual void Write(const EventLogEntry&) = 0;
};

// Appends one time-stamped line per entry to <dir>/wyvel32.log (creating the folder when
// needed), and sends the entry to syslog when asked. Thread-safe. A line that cannot be written
// is counted, since the caller (an interrupt-free kernel path) has no one to tell.
class FileEventLog : public EventLogSink {
  public:
    explicit FileEventLog(std::filesystem::path dir, bool also_syslog = true);
    void Write(const EventLogEntry&) override;
    const std::filesystem::path& File() const { return file_; }
    uint64_t Failures() const { return failures_.load(std::memory_order_relaxed); }

  private:
    std::filesystem::path dir_;
    std::filesystem::path file_;
    bool also_syslog_;
    std::mutex mutex_;  // keeps lines of concurrent writers whole and in order
    std::atomic<uint64_t> failures_{0};
};

// Keeps every entry in memory; thread-safe, for tests.
class RecordingEventLog : public EventLogSink {
  public:
    void Write(const EventLogEntry&) override;
    std::vector<EventLogEntry> Entries() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<EventLogEntry> entries_;
};

}  // namespace qorval::platform
