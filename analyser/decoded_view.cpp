// The decoded view, the link protocol, the filter and the statistics of a capture.
#include "analyser/analyser_app.h"
#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr const char* kDecodedFormat = "Setting display format to decoded %s.";
constexpr const char* kLinkSet = "Decoding frames as %s.";
constexpr const char* kFilterSet = "Showing the frames that match: %s";
constexpr const char* kFilterCleared = "Showing every frame.";
constexpr const char* kFilterRefused = "Filter not changed, at %s";

}  // namespace

void CAnalyserApp::SetDecodedView() {
    decode_.decodedView = true;
    RefreshMenu();
    ShowCurrentFrameAgain();
    ui_.ShowStatus(
        StringPrintf(kDecodedFormat, std::string(LinkProtocolTitle(decode_.link)).c_str()));
}

void CAnalyserApp::SetLinkProtocol(decode::LinkProtocol link) {
    decode_.link = link;
    decoding_.SetLink(link);
    ui_.ShowStatus(StringPrintf(kLinkSet, std::string(LinkProtocolTitle(link)).c_str()));
}

std::optional<FilterError> CAnalyserApp::SetFilter(const std::string& expression) {
    if (std::optional<FilterError> error = decoding_.SetFilter(expression)) {
        ui_.ShowStatus(StringPrintf(kFilterRefused, error->Text().c_str()));
        return error;
    }
    ui_.ShowStatus(decoding_.Filter().MatchesAll()
                       ? std::string(kFilterCleared)
                       : StringPrintf(kFilterSet, expression.c_str()));
    return std::nullopt;
}

StatisticsSnapshot CAnalyserApp::Statistics() const {
    return decoding_.Statistics(wallClock_());
}

}  // namespace qorval::analyser
