#pragma once
// "Protocol Selection": the transfer protocol of one binary send or receive.

#include <QDialog>
#include <optional>

#include "terminal/protocol.h"

class QComboBox;

namespace qorval::terminal::window {

class ProtocolSelectionDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit ProtocolSelectionDialog(QWidget* parent);
    // The protocol of the choice on screen ("X-MODEM" at first).
    Protocol Chosen() const;

    // Runs the dialog; nullopt when it was cancelled.
    static std::optional<Protocol> Ask(QWidget* parent);

  private:
    QComboBox* protocol_;
};

}  // namespace qorval::terminal::window
