// The one word a frame is counted under in the statistics: its HDLC frame type ("I", "RNR"),
// its link management message ("LMI STATUS"), its SLARP message ("SLARP KEEPALIVE") or the
// protocol it carries ("IP").
#pragma once

#include <string_view>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

// "" when the decoder found nothing to name it by (a raw link, a frame that broke early).
std::string_view FrameKind(const DecodedFrame& frame);

}  // namespace qorval::analyser::decode
