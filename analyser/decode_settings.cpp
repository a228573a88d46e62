#include "analyser/decode_settings.h"

#include "platform/profile.h"

namespace qorval::analyser {
namespace {

constexpr const char* kDecode = "Decode";
constexpr const char* kViewKey = "View";
constexpr const char* kLinkKey = "Link";

}  // namespace

DecodeSettings ReadDecodeSettings(const platform::ProfileFile& profile) {
    DecodeSettings settings;
    settings.decodedView = profile.GetInt(kDecode, kViewKey, 0) != 0;
    settings.link = decode::ParseLinkProtocol(profile.GetString(kDecode, kLinkKey, ""))
                        .value_or(decode::LinkProtocol::Raw);
    return settings;
}

void WriteDecodeSettings(platform::ProfileFile& profile, const DecodeSettings& settings) {
    // As with the other settings, a value that cannot be written at exit is not reported.
    (void)profile.WriteString(kDecode, kViewKey, settings.decodedView ? "1" : "0");
    (void)profile.WriteString(kDecode, kLinkKey, decode::LinkProtocolName(settings.link));
}

}  // namespace qorval::analyser
