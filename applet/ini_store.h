// The Windows 95/98 store of the configuration: one "System.ini" section per driver holding
// its first port, and a "device=" line per enabled driver in the "386Enh" section.
#pragma once

#include <cstdint>

#include "applet/config_model.h"
#include "platform/profile_format.h"

namespace qorval::applet {

// The functions work on the text of "System.ini" (a ProfileDocument), so that the store reads
// it once and writes it back in one locked rewrite (ProfileFile::Transact).

// Clears the model and loads every driver that has a section; returns the driver count.
int32_t ReadIniConfig(ConfigModel& model, const platform::ProfileDocument& ini);

// Stores the first `driver_count` drivers; sections of known drivers that are no longer in
// the model are deleted with their device lines. Returns why a value cannot be stored (a line
// break in a text), naming each, or an empty string; the caller then keeps the file as it was.
[[nodiscard]] std::string WriteIniConfig(const ConfigModel& model, int32_t driver_count,
                                         platform::ProfileDocument& ini);

// True when a line of the "386Enh" section names the driver's device file. A section too
// large for the 1024-byte section buffer answers false.
bool HasDeviceLine(const platform::ProfileDocument& ini, int32_t driver_type);

// Adds (present) or removes the driver's device line. A section too large for the
// 1024-byte section buffer is left untouched and the answer is false.
bool SetDeviceLine(platform::ProfileDocument& ini, int32_t driver_type, bool present);

}  // namespace qorval::applet
