// The Windows 95/98 store of the configuration: one "System.ini" section per driver holding
// its first port, and a "device=" line per enabled driver in the "386Enh" section.
#pragma once

#include <cstdint>

#include "applet/config_model.h"
#include "platform/profile.h"

namespace qorval::applet {

// Clears the model and loads every driver that has a section; returns the driver count.
int32_t ReadIniConfig(ConfigModel& model, const platform::ProfileFile& ini);

// Stores the first `driver_count` drivers; sections of known drivers that are no longer in
// the model are deleted with their device lines.
void WriteIniConfig(const ConfigModel& model, int32_t driver_count, platform::ProfileFile& ini);

// True when a line of the "386Enh" section names the driver's device file. A section too
// large for the 1024-byte section buffer answers false.
bool HasDeviceLine(const platform::ProfileFile& ini, int32_t driver_type);

// Adds (present) or removes the driver's device line. A section too large for the
// 1024-byte section buffer is left untouched and the answer is false.
bool SetDeviceLine(platform::ProfileFile& ini, int32_t driver_type, bool present);

}  // namespace qorval::applet
