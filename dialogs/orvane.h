#pragma once
// liborvane: the shared port dialogs. A tool lends its own Qorval_Port object to them:
//
//   OpenPortDialog open(&port);
//   if (open.ShowDialog() == 1) { port.Open(); ... }   // the tool opens the port itself
//   PortStateDialog(&port).ShowDialog();                // on an open port
//
// Both run modally over the application's active window and need a QApplication. The classes
// keep the members listed below, in this order, and their destructors as the only virtual
// functions: programs built apart from the library use them.

#include <cstdint>

class Qorval_Port;

#define ORVANE_EXPORT __attribute__((visibility("default")))

// "Open Port": the user chooses a driver and a port; OK points the port object at them.
class ORVANE_EXPORT OpenPortDialog {
  public:
    OpenPortDialog();
    explicit OpenPortDialog(Qorval_Port* port);
    OpenPortDialog(const OpenPortDialog& other);
    OpenPortDialog& operator=(const OpenPortDialog& other);
    virtual ~OpenPortDialog();

    // Runs the dialog; 1 after OK (the port object, if any, closed and selected for the
    // chosen driver and port, not opened), else 0 with the port object untouched.
    int ShowDialog();

    // The choice of the last OK.
    int DriverType() const { return driverType; }
    int PortNumber() const { return portNumber; }

  private:
    int driverType = 0;
    int portNumber = 1;
    Qorval_Port* port = nullptr;  // the caller's, not owned; may be none
};

// "Port Information": the fixed information of an open port and the settings its driver lets
// the user change, written back on OK.
class ORVANE_EXPORT PortStateDialog {
  public:
    explicit PortStateDialog(Qorval_Port* port);
    PortStateDialog(const PortStateDialog& other);
    PortStateDialog& operator=(const PortStateDialog& other);
    virtual ~PortStateDialog();

    void ShowDialog();

  private:
    Qorval_Port* port;  // the caller's, not owned; expected open
};

// The layouts programs built apart from the library rely on: the virtual table pointer, then
// the members above.
static_assert(sizeof(OpenPortDialog) == sizeof(void*) + 2 * sizeof(int) + sizeof(Qorval_Port*));
static_assert(sizeof(PortStateDialog) == sizeof(void*) + sizeof(Qorval_Port*));
