// The DMA pictures of the jumper text, with the rules that decide whether a card can take
// the DMA channels its ports are configured with.
#pragma once

#include <cstdint>
#include <string>

#include "applet/jumper_text.h"

namespace qorval::applet::jumper {

// A DMA channel that is not set, as the 16-bit inputs carry it.
inline constexpr uint16_t kNoDma = 0xFFFF;

// Birch, Cedar, Dogwood and Fir: two six-row blocks; `rows_7_8` adds a fitted row 7 and an
// open row 8 to the second block, `birch_e9` adds Birch's third block E9.
void DrawSharedDma(std::string& out, const JumperInput& in, const char* first, const char* second,
                   bool rows_7_8, bool birch_e9);

// Elm, Ginkgo and Larch: receive and transmit columns for channels 0..3 of port A;
// `enable_name` (Ginkgo, Larch) adds the enable block with rows S1, S2 and A.
void DrawTwoColumnDma(std::string& out, const JumperInput& in, const char* rx_name,
                      const char* tx_name, const char* enable_name);

// Hazel: four columns E4..E7 for both ports, and the enable block E2.
void DrawFourColumnDma(std::string& out, const JumperInput& in);

// Juniper: block E1.
void DrawJuniperDma(std::string& out, const JumperInput& in);

// Alder: three-pin block E3 for channel 1 or 3.
void DrawAlderDma(std::string& out, const JumperInput& in);

}  // namespace qorval::applet::jumper
