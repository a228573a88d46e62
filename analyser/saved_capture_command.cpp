#include "analyser/saved_capture_command.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "analyser/decode_settings.h"
#include "analyser/decoded_csv.h"
#include "analyser/decoded_line.h"
#include "analyser/filter/frame_filter.h"
#include "analyser/headless.h"
#include "analyser/saved_capture.h"
#include "analyser/statistics/statistics_text.h"
#include "analyser/string_printf.h"
#include "platform/profile.h"
#include "platform/regular_file.h"

namespace qorval::analyser {

namespace {

constexpr const char* kNotOpened = "lombex32: could not open the capture file %s\n";
constexpr const char* kBroken = "lombex32: %s: %s; the frames before it are shown\n";
constexpr const char* kOtherLinkTypes =
    "lombex32: %s: %llu packets of another link type passed over\n";

}  // namespace

bool AsksForSavedCapture(const std::vector<std::string>& args) {
    return !args.empty() && args.front() == "--decode";
}

std::variant<SavedCaptureOptions, std::string> ParseSavedCaptureArguments(
    const std::vector<std::string>& args) {
    auto bad = [](const std::string& what) {
        return std::variant<SavedCaptureOptions, std::string>(std::string("lombex32: ") + what +
                                                              "\n" + kHeadlessUsage);
    };
    SavedCaptureOptions options;
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--stats") {
            options.stats = true;
            continue;
        }
        if (arg != "--decode" && arg != "--link" && arg != "--filter" && arg != "--csv") {
            return bad("unknown argument " + arg);
        }
        if (i + 1 == args.size()) {
            return bad(arg + " needs a value");
        }
        const std::string& text = args[++i];
        if (arg == "--decode") {
            options.file = text;
            haveFile = true;
        } else if (arg == "--link") {
            options.link = decode::ParseLinkProtocol(text);
            if (!options.link) {
                return bad("invalid link " + text);
            }
        } else if (arg == "--filter") {
            auto filter = FrameFilter::Parse(text);
            if (const auto* error = std::get_if<FilterError>(&filter)) {
                return bad("invalid filter, " + error->Text());
            }
            options.filter = text;
        } else {
            options.csvFile = text;
        }
    }
    if (!haveFile) {
        return std::string(kHeadlessUsage);
    }
    return options;
}

int RunSavedCapture(const SavedCaptureOptions& options, const std::filesystem::path& profile,
                    std::ostream& out, std::ostream& err) {
    const decode::LinkProtocol link =
        options.link.value_or(ReadDecodeSettings(platform::ProfileFile(profile)).link);
    // Checked with the arguments.
    const FrameFilter filter =
        std::get<FrameFilter>(FrameFilter::Parse(options.filter.value_or("")));
    // Only a regular file: a FIFO or a device at the name is refused before it is opened.
    std::string problem;
    std::FILE* file =
        platform::OpenRegularStream(options.file, platform::FileUse::Read, &problem);
    if (file == nullptr) {
        err << StringPrintf(kNotOpened, options.file.c_str());
        return 1;
    }
    DecodedCsvFile csv;
    if (options.csvFile && !csv.Open(*options.csvFile, link)) {
        std::fclose(file);
        err << StringPrintf(kCsvNotOpened, options.csvFile->c_str());
        return 1;
    }
    CaptureStatistics statistics;
    const SavedCaptureSummary summary =
        DecodeSavedCapture(file, link, statistics, [&](const SavedFrame& frame) {
            if (!filter.Matches(frame.facts)) {
                return;
            }
            // As the capture's lines go to standard output: with a plain line feed.
            std::string line =
                DecodedFrameLine(frame.facts, link, frame.bytes, frame.receivedCount);
            std::erase(line, '\r');
            out << line;
            if (options.csvFile) {
                csv.OnDecodedFrame(frame.facts, frame.timeNs, frame.startNs);
            }
        });
    std::fclose(file);
    if (options.stats) {
        out << FormatStatistics(statistics.Snapshot(summary.endNs));
    }
    out.flush();
    if (summary.otherPackets != 0) {
        err << StringPrintf(kOtherLinkTypes, options.file.c_str(),
                            static_cast<unsigned long long>(summary.otherPackets));
    }
    int status = 0;
    if (!summary.error.empty()) {
        err << StringPrintf(kBroken, options.file.c_str(), summary.error.c_str());
        status = 1;
    }
    if (options.csvFile && !csv.Close()) {
        err << StringPrintf(kCsvNotWritten, options.csvFile->c_str());
        status = 1;
    }
    return status;
}

}  // namespace qorval::analyser
