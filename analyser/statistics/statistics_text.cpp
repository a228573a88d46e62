#include "analyser/statistics/statistics_text.h"

namespace qorval::analyser {

std::string_view ErrorKindName(FrameError error) {
    switch (error) {
        case FrameError::Crc:
            return "CRC";
        case FrameError::Overrun:
            return "overrun";
        case FrameError::Short:
            return "short";
        case FrameError::Malformed:
            return "malformed";
        case FrameError::Other:
            return "other";
        case FrameError::None:
            break;
    }
    return "";
}

std::string FormatStatistics(const StatisticsSnapshot& s) {
    auto totals = [](const DirectionTotals& t) {
        return std::to_string(t.frames) + " frames, " + std::to_string(t.bytes) + " bytes";
    };
    std::string text = "Statistics (" + std::to_string(s.elapsedNs / 1000000) + " ms)\n";
    text += "  Received: " + totals(s.received) + "\n";
    text += "  Sent: " + totals(s.sent) + "\n";
    text += "  Frames/s: now " + std::to_string(s.now.framesPerSecond) + ", peak " +
            std::to_string(s.peak.framesPerSecond) + "\n";
    text += "  Bit rate: now " + std::to_string(s.now.bitsPerSecond) + " bit/s, peak " +
            std::to_string(s.peak.bitsPerSecond) + " bit/s\n";
    text += "  Errors:";
    for (size_t i = 0; i < std::size(kCountedErrors); ++i) {
        text += (i == 0 ? " " : ", ") + std::string(ErrorKindName(kCountedErrors[i])) + " " +
                std::to_string(s.errors[i]);
        if (kCountedErrors[i] == FrameError::Overrun) {
            text += std::string(", abort ") + kAbortNotReported;
        }
    }
    text += "\n  Frame types:";
    if (s.kinds.empty()) {
        text += " none";
    }
    for (size_t i = 0; i < s.kinds.size(); ++i) {
        text += (i == 0 ? " " : ", ") + std::string(s.kinds[i].first) + " " +
                std::to_string(s.kinds[i].second);
    }
    return text + "\n";
}

}  // namespace qorval::analyser
