// The exported dialog classes: each runs its window modally over the active window.

#include <QApplication>

#include "dialogs/orvane.h"
#include "dialogs/window/open_port_window.h"
#include "dialogs/window/port_state_window.h"
#include "portaccess/qorval_port.h"

OpenPortDialog::OpenPortDialog() = default;

OpenPortDialog::OpenPortDialog(Qorval_Port* port) : port(port) {}

OpenPortDialog::OpenPortDialog(const OpenPortDialog& other) = default;

OpenPortDialog& OpenPortDialog::operator=(const OpenPortDialog& other) = default;

OpenPortDialog::~OpenPortDialog() = default;

int OpenPortDialog::ShowDialog() {
    qorval::dialogs::OpenPortWindow window(QApplication::activeWindow());
    window.Prepare();
    if (window.exec() != QDialog::Accepted) {
        return 0;
    }
    driverType = window.Model().DriverType();
    portNumber = window.Model().PortNumber();
    if (port != nullptr) {
        port->Close();
        port->SelectPort(static_cast<uint16_t>(driverType), static_cast<uint16_t>(portNumber));
    }
    return 1;
}

PortStateDialog::PortStateDialog(Qorval_Port* port) : port(port) {}

PortStateDialog::PortStateDialog(const PortStateDialog& other) = default;

PortStateDialog& PortStateDialog::operator=(const PortStateDialog& other) = default;

PortStateDialog::~PortStateDialog() = default;

void PortStateDialog::ShowDialog() {
    qorval::dialogs::PortStateWindow window(port, QApplication::activeWindow());
    window.Prepare();
    window.exec();
}
