#include "applet/window/system_resources_page.h"

#include "applet/field_rules.h"
#include "applet/page_enables.h"
#include "applet/window/choice_list.h"
#include "applet/window/config_sheet.h"
#include "applet/window/field_routing.h"

namespace qorval::applet::window {

namespace {

QComboBox* DmaList(QWidget* parent, const char* name) {
    return MakeChoiceList(parent, name, kDmaChoices);
}

}  // namespace

CSystemResourcesPage::CSystemResourcesPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "systemResourcesPage", 134, true),
      base_(new QLineEdit(this)),
      interrupt_(MakeChoiceList(this, "interrupt", kInterruptChoices)),
      tx_dma_(DmaList(this, "transmitDma")),
      rx_dma_(DmaList(this, "receiveDma")),
      port_mode_(MakeChoiceList(this, "portMode", kPortModeChoices)),
      memory_(new QLineEdit(this)) {
    setWindowTitle("System Resources");
    base_->setObjectName("baseAddress");
    memory_->setObjectName("memoryAddress");
    AddRow("Base I/O Address", base_);
    AddRow("Interrupt", interrupt_);
    AddRow("Port Mode", port_mode_);
    AddRow("Transmit DMA Channel", tx_dma_, 1);
    AddRow("Receive DMA Channel", rx_dma_, 1);
    AddRow("Memory Address", memory_, 1);

    OnEditFinished(
        this, base_,
        [this](const std::string& text) { return ApplyBaseAddress(Model(), text, User()); }, true);
    OnEditFinished(this, memory_, [this](const std::string& text) {
        return ApplyMemoryAddress(Model(), text, User());
    });
    OnChoice(
        this, interrupt_, [this](int32_t irq) { return ApplyInterrupt(Model(), irq, User()); },
        true);
    OnChoice(this, port_mode_,
             [this](int32_t mode) { return ApplyPortMode(Model(), mode, User()); });
    for (QComboBox* list : {tx_dma_, rx_dma_}) {
        OnChoice(this, list, [this, list](int32_t channel) {
            ApplyDmaChannel(Model(), list == tx_dma_, channel);
            return FieldResult::Accepted;
        });
    }
}

void CSystemResourcesPage::Fill() {
    if (!HasPort()) {
        return;
    }
    const PortEntry& port = Model().selected();
    ShowHex(base_, port.BaseIO);
    ShowCode(interrupt_, port.Interrupt);
    // A channel above 3, read as unsigned, is no channel.
    ShowCode(tx_dma_, static_cast<uint32_t>(port.TxDMA) > 3 ? -1 : port.TxDMA);
    ShowCode(rx_dma_, static_cast<uint32_t>(port.RxDMA) > 3 ? -1 : port.RxDMA);
    ShowCode(port_mode_, port.Mode);
    ShowHex(memory_, port.Memory);
}

void CSystemResourcesPage::ApplyEnables() {
    const SystemResourcesEnables on = SystemResourcesEnablesOf(Model());
    base_->setEnabled(on.base);
    interrupt_->setEnabled(on.interrupt);
    tx_dma_->setEnabled(on.tx_dma);
    rx_dma_->setEnabled(on.rx_dma);
    port_mode_->setEnabled(on.port_mode);
    memory_->setEnabled(on.memory);
}

void CSystemResourcesPage::FocusField(applet::FocusField field) {
    switch (field) {
        case FocusField::PortMode: port_mode_->setFocus(); break;
        case FocusField::TransmitDma: tx_dma_->setFocus(); break;
        case FocusField::ReceiveDma: rx_dma_->setFocus(); break;
        case FocusField::BaseAddress: base_->setFocus(); break;
        case FocusField::Interrupt: interrupt_->setFocus(); break;
        case FocusField::None: break;
    }
}

}  // namespace qorval::applet::window
