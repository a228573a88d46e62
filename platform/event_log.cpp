#include "platform/event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/paths.h"

namespace qorval::platform {
namespace {

constexpr std::string_view kLogFileName = "wyvel32.log";

std::string Hex8(uint32_t value) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", value);
    return buf;
}

// Quotes a text so that it stays on one line and can be told apart from its neighbours.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", byte);
            out += buf;
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

// The event code's top two bits carry its severity: 3 error, 2 warning, else information.
int SyslogPriority(uint32_t code) {
    switch (code >> 30) {
        case 3:
            return LOG_ERR;
        case 2:
            return LOG_WARNING;
        default:
            return LOG_INFO;
    }
}

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

bool AppendLine(const std::filesystem::path& file, const std::string& line) {
    // A new log is its owner's alone, like every file under the prefix.
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    // One write per line, so lines from other processes appending to the file never interleave.
    ssize_t n;
    do {
        n = ::write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == static_cast<ssize_t>(line.size());
}

}  // namespace

std::string FormatEventLogEntry(const EventLogEntry& entry) {
    std::string out = Quoted(entry.source);
    out += " event 0x";
    out += Hex8(entry.error_code);
    out += " unique ";
    out += std::to_string(entry.unique_value);
    char buf[64];
    std::snprintf(buf, sizeof buf, " major 0x%02X status 0x%08X ioctl 0x%08X", entry.major_function,
                  entry.final_status, entry.io_control_code);
    out += buf;
    out += " strings";
    for (const auto& text : entry.strings) {
        out += ' ';
        out += Quoted(text);
    }
    out += " dump";
    for (uint32_t word : entry.dump_data) {
        out += ' ';
        out += Hex8(word);
    }
    return out;
}

FileEventLog::FileEventLog(std::filesystem::path dir, bool also_syslog)
    : dir_(std::move(dir)), file_(dir_ / kLogFileName), also_syslog_(also_syslog) {}

void FileEventLog::Write(const EventLogEntry& entry) {
    const std::string formatted = FormatEventLogEntry(entry);
    std::lock_guard guard(mutex_);
    if (!EnsureDirectory(dir_, nullptr) ||
        !AppendLine(file_, UtcTimestamp() + " " + formatted + "\n")) {
        failures_.fetch_add(1, std::memory_order_relaxed);
    }
    if (also_syslog_) {
        ::syslog(LOG_USER | SyslogPriority(entry.error_code), "%s", formatted.c_str());
    }
}

void RecordingEventLog::Write(const EventLogEntry& entry) {
    std::lock_guard guard(mutex_);
    entries_.push_back(entry);
}

std::vector<EventLogEntry> RecordingEventLog::Entries() const {
    std::lock_guard guard(mutex_);
    return entries_;
}

void RecordingEventLog::Clear() {
    std::lock_guard guard(mutex_);
    entries_.clear();
}

}  // namespace qorval::platform
