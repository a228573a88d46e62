#pragma once
// Tells, while the terminal polls or runs a transfer, that its port has gone (the driver host
// died or the port was removed: portaccess/port_loss.h) rather than failed one request. The
// first failure that shows it keeps the cause and sets the cancel flag, so a running transfer
// stops at its next look at the flag exactly as after the user's Cancel; the session then
// closes the port and says why, once.

#include "platform/user_messages.h"
#include "portaccess/port_loss.h"

class Qorval_Port;

namespace qorval::terminal {

class PortWatch {
  public:
    PortWatch(Qorval_Port& port, ui::CancelFlag& cancel) : port_(port), cancel_(cancel) {}

    // After a request on the port failed with `result` (0 is no failure): whether the port has
    // gone. Once it has, every later call says so without asking again.
    bool Check(uint32_t result);
    bool Lost() const { return loss_ != PortLoss::kNone; }
    PortLoss Loss() const { return loss_; }
    // A port is open again: nothing is known to be lost.
    void Clear() { loss_ = PortLoss::kNone; }

  private:
    Qorval_Port& port_;
    ui::CancelFlag& cancel_;
    PortLoss loss_ = PortLoss::kNone;
};

}  // namespace qorval::terminal
