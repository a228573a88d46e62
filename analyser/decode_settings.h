// The decoded view's settings, kept in the profile's "Decode" section beside the analyser's
// other keys (which keep their meaning): whether the capture window shows decoded lines, and
// the link protocol captures are decoded by. A filter is not kept: a capture starts showing
// every frame.
#pragma once

#include "analyser/decode/link_protocol.h"

namespace qorval::platform {
class ProfileFile;
}

namespace qorval::analyser {

struct DecodeSettings {
    bool decodedView = false;
    decode::LinkProtocol link = decode::LinkProtocol::Raw;

    bool operator==(const DecodeSettings&) const = default;
};

// A missing or unknown value reads as its default.
DecodeSettings ReadDecodeSettings(const platform::ProfileFile& profile);
void WriteDecodeSettings(platform::ProfileFile& profile, const DecodeSettings& settings);

}  // namespace qorval::analyser
