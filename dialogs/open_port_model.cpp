#include "dialogs/open_port_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "dialogs/dialog_texts.h"
#include "dialogs/port_names.h"
#include "portaccess/qorval_port.h"

namespace qorval::dialogs {
namespace {

// A name field of the system information record, which need not be terminated.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The list boxes sort their entries alphabetically, without regard to case.
void SortLikeAListBox(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return ::strcasecmp(a.c_str(), b.c_str()) < 0;
    });
}

uint32_t ReadSystemInfo(SystemInfo& info) {
    info = SystemInfo{};
    Qorval_Port probe;
    return probe.GetSystemInfo(info);
}

std::string ChannelLetter(uint16_t channel) {
    return channel == 0 ? "A" : channel == 1 ? "B" : "?";
}

}  // namespace

uint32_t OpenPortModel::Load() {
    drivers_.clear();
    ports_.clear();
    selectedDriver_ = selectedPort_ = -1;
    ClearInfo();
    SystemInfo info;
    if (const uint32_t result = ReadSystemInfo(info); result != QORVAL_OK) {
        return result;
    }
    // The count only says whether there are drivers at all: the record has one entry per
    // driver type, and the present flags say which are there (the adapter driver's is the
    // fourth even when it is the only one).
    if (info.driverCount != 0) {
        for (const SystemInfoDriver& driver : info.drivers) {
            if (driver.present != 0) {
                drivers_.push_back(FieldText(driver.name));
            }
        }
    }
    SortLikeAListBox(drivers_);
    if (!drivers_.empty()) {
        selectedDriver_ = 0;
    }
    FillPorts();
    return QORVAL_OK;
}

void OpenPortModel::SelectDriver(int index) {
    if (index < 0 || index >= static_cast<int>(drivers_.size())) {
        return;
    }
    selectedDriver_ = index;
    FillPorts();
}

void OpenPortModel::SelectPort(int index) {
    if (index < 0 || index >= static_cast<int>(ports_.size())) {
        return;
    }
    selectedPort_ = index;
    Probe();
}

void OpenPortModel::FillPorts() {
    ports_.clear();
    selectedPort_ = -1;
    SystemInfo info;
    if (selectedDriver_ >= 0 && ReadSystemInfo(info) == QORVAL_OK) {
        // The entry of the driver type the selected name stands for.
        const SystemInfoDriver& driver = info.drivers[DriverType()];
        for (const SystemInfoPort& port : driver.ports) {
            if (port.present != 0) {
                ports_.push_back(FieldText(port.name));
            }
        }
        SortLikeAListBox(ports_);
    }
    if (ports_.empty()) {
        ClearInfo();
        return;
    }
    selectedPort_ = 0;
    Probe();
}

void OpenPortModel::Probe() {
    Qorval_Port probe;
    probe.SelectPort(DriverType(), PortNumber());
    PortInfo info{};
    if (probe.Open() != QORVAL_OK || probe.GetPortInfo(info) != QORVAL_OK) {
        info_ = {kUnknown, kUnknown, kUnknown, text::kNo};
        openEnabled_ = false;
        return;
    }
    char address[8];
    std::snprintf(address, sizeof address, "%X", static_cast<unsigned>(info.ioBase));
    info_ = {CardName(info.cardType), address, ChannelLetter(info.channel), text::kYes};
    openEnabled_ = true;
    probe.Close();
}

void OpenPortModel::ClearInfo() {
    info_ = {};
    openEnabled_ = false;
}

bool OpenPortModel::Open(ui::UserMessages& user) {
    Qorval_Port port;
    port.SelectPort(DriverType(), PortNumber());
    if (selectedPort_ < 0 || port.Open() != QORVAL_OK) {
        ui::ShowWarning(user, text::kPortNotAvailable, text::kErrorCaption);
        return false;
    }
    port.Close();
    return true;
}

uint16_t OpenPortModel::DriverType() const {
    return selectedDriver_ < 0 ? 0 : DriverTypeFromName(drivers_[selectedDriver_]);
}

uint16_t OpenPortModel::PortNumber() const {
    return selectedPort_ < 0 ? 1 : PortNumberFromName(ports_[selectedPort_]);
}

}  // namespace qorval::dialogs
