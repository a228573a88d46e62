// The texts of the Select Driver/Port dialog's two lists, built from SystemInfo.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

struct ListEntry {
    std::string text;  // "%s - %s" for a driver, "%d - %s" for a port
    uint16_t value{};  // the driver entry's index, or the 1-based port number
};

// Type name of a driver code: 0 "HESTABE5" ... 4 "LAST", others "UNKNOWN".
std::string_view DriverTypeName(uint16_t type);

// Present drivers (up to the count word); the last entry is the one preselected.
std::vector<ListEntry> DriverListEntries(const SystemInfo& info);
// Present ports of one driver entry (up to its port count); the last one is preselected.
std::vector<ListEntry> PortListEntries(const SystemInfo& info, uint16_t driverIndex);

// Number of driver entries, of all four, whose present flag is set.
int PresentDriverCount(const SystemInfo& info);

}  // namespace qorval::analyser
