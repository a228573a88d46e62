#pragma once
// What the "Open Port" dialog does, without the widgets: the driver and port lists from the
// port access library's system information, the "Port Info" texts of the highlighted port from
// a probe that opens it, and "Open".

#include <cstdint>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace qorval::dialogs {

// The four texts of the "Port Info" group.
struct PortInfoTexts {
    std::string card, address, channel, available;
    bool operator==(const PortInfoTexts&) const = default;
};

class OpenPortModel {
  public:
    // Opening the dialog: the drivers present, sorted, the first selected with its ports.
    // Returns the result of the system information read; when it fails the lists stay empty.
    uint32_t Load();

    const std::vector<std::string>& Drivers() const { return drivers_; }
    const std::vector<std::string>& Ports() const { return ports_; }
    int SelectedDriver() const { return selectedDriver_; }  // -1: none
    int SelectedPort() const { return selectedPort_; }      // -1: none

    // A new driver: the system information read again, its ports listed, the first selected
    // and probed.
    void SelectDriver(int index);
    // A new port: probed.
    void SelectPort(int index);

    const PortInfoTexts& Info() const { return info_; }
    bool OpenEnabled() const { return openEnabled_; }

    // "Open": true when the selected port opens (it is closed again at once); otherwise
    // "Port is not available." is shown and the dialog stays.
    bool Open(ui::UserMessages& user);

    // The choice of the selected items.
    uint16_t DriverType() const;
    uint16_t PortNumber() const;

  private:
    void FillPorts();
    void Probe();
    void ClearInfo();

    std::vector<std::string> drivers_, ports_;
    int selectedDriver_ = -1, selectedPort_ = -1;
    PortInfoTexts info_;
    bool openEnabled_ = false;
};

}  // namespace qorval::dialogs
