#include "analyser/port_lists.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr std::array<std::string_view, 5> kDriverTypeNames = {"HESTABE5", "FENDAR5", "GORLIN5",
                                                              "WYVEL32", "LAST"};
constexpr std::string_view kUnknownType = "UNKNOWN";
constexpr const char* kDriverEntry = "%s - %s";
constexpr const char* kPortEntry = "%d - %s";

// A name field of the record, which need not be zero-terminated.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

std::string_view DriverTypeName(uint16_t type) {
    return type < kDriverTypeNames.size() ? kDriverTypeNames[type] : kUnknownType;
}

std::vector<ListEntry> DriverListEntries(const SystemInfo& info) {
    std::vector<ListEntry> entries;
    const size_t count = std::min<size_t>(info.driverCount, QORVAL_MAX_DRIVERS);
    for (size_t i = 0; i < count; ++i) {
        const SystemInfoDriver& driver = info.drivers[i];
        if (driver.present != 0) {
            entries.push_back(
                {StringPrintf(kDriverEntry, std::string(DriverTypeName(driver.driverType)).c_str(),
                              FieldText(driver.name).c_str()),
                 static_cast<uint16_t>(i)});
        }
    }
    return entries;
}

std::vector<ListEntry> PortListEntries(const SystemInfo& info, uint16_t driverIndex) {
    std::vector<ListEntry> entries;
    if (driverIndex >= QORVAL_MAX_DRIVERS) {
        return entries;
    }
    const SystemInfoDriver& driver = info.drivers[driverIndex];
    const size_t count = std::min<size_t>(driver.portCount, QORVAL_MAX_PORTS_PER_DRIVER);
    for (size_t i = 0; i < count; ++i) {
        if (driver.ports[i].present != 0) {
            const int number = static_cast<int>(i) + 1;
            entries.push_back(
                {StringPrintf(kPortEntry, number, FieldText(driver.ports[i].name).c_str()),
                 static_cast<uint16_t>(number)});
        }
    }
    return entries;
}

int PresentDriverCount(const SystemInfo& info) {
    return static_cast<int>(
        std::count_if(std::begin(info.drivers), std::end(info.drivers),
                      [](const SystemInfoDriver& d) { return d.present != 0; }));
}

}  // namespace qorval::analyser
