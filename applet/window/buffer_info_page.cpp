#include "applet/window/buffer_info_page.h"

#include "applet/page_enables.h"
#include "applet/window/choice_list.h"
#include "applet/window/config_sheet.h"
#include "applet/window/field_routing.h"

namespace qorval::applet::window {

CBufferInfoPage::CBufferInfoPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "bufferInfoPage", 132, true),
      tx_size_(new QLineEdit(this)),
      tx_count_(new QLineEdit(this)),
      rx_size_(new QLineEdit(this)),
      rx_count_(new QLineEdit(this)) {
    setWindowTitle("Buffer Info");
    const struct {
        QLineEdit* edit;
        const char* label;
        const char* name;
        BufferField field;
    } fields[] = {
        {tx_size_, "Transmit Buffer Size", "txBuffSize", BufferField::TxBuffSize},
        {tx_count_, "Number of Transmit Buffers", "txBuffers", BufferField::TxBuffers},
        {rx_size_, "Receive Buffer Size", "rxBuffSize", BufferField::RxBuffSize},
        {rx_count_, "Number of Receive Buffers", "rxBuffers", BufferField::RxBuffers},
    };
    for (const auto& f : fields) {
        f.edit->setObjectName(f.name);
        AddRow(f.label, f.edit);
        const BufferField field = f.field;
        OnEditFinished(this, f.edit, [this, field](const std::string& text) {
            return ApplyBufferValue(Model(), field, text, User());
        });
    }
}

void CBufferInfoPage::Fill() {
    if (!HasPort()) {
        return;
    }
    const PortEntry& port = Model().selected();
    ShowNumber(tx_size_, port.TxBuffSize);
    ShowNumber(tx_count_, port.TxBuffers);
    ShowNumber(rx_size_, port.RxBuffSize);
    ShowNumber(rx_count_, port.RxBuffers);
}

void CBufferInfoPage::ApplyEnables() {
    const bool on = BufferInfoEnablesOf(Model()).buffers;
    for (QLineEdit* edit : {tx_size_, tx_count_, rx_size_, rx_count_}) {
        edit->setEnabled(on);
    }
}

}  // namespace qorval::applet::window
