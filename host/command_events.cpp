#include "host/command_events.h"

#include <cstdio>

#include "driver/events.h"

namespace wyvel32::host {

namespace {

// The capture of this thread, if one is open.
thread_local std::vector<qorval::platform::EventLogEntry>* t_capture = nullptr;

constexpr uint32_t kErrorSeverity = 3;

}  // namespace

void CommandEventLog::Write(const qorval::platform::EventLogEntry& entry) {
    next_.Write(entry);
    if (t_capture != nullptr) {
        t_capture->push_back(entry);
    }
}

CommandEventLog::Capture::Capture() {
    t_capture = &entries_;
}

CommandEventLog::Capture::~Capture() {
    t_capture = nullptr;
}

std::string DescribeErrorEvents(const std::vector<qorval::platform::EventLogEntry>& entries) {
    std::string text;
    for (const qorval::platform::EventLogEntry& entry : entries) {
        if (entry.error_code >> 30 != kErrorSeverity) {
            continue;
        }
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", entry.error_code);
        text += "; the driver logged event ";
        text += code;
        if (!entry.strings.empty()) {
            text += " \"" + entry.strings.front() + "\"";
        }
        const std::string message = FormatEventMessage(entry.error_code, entry.strings);
        if (!message.empty()) {
            text += ": " + message;
        }
    }
    return text;
}

}  // namespace wyvel32::host
