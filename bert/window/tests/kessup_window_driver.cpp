#include "bert/window/tests/kessup_window_driver.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "bert/window/kessup_window.h"
#include "platform/window/testing/modal_driver.h"

namespace qorval::bert::window::testing {

QString Shown(const KessupWindow& window, const char* name) {
    if (auto* label = window.findChild<QLabel*>(name)) {
        return label->text();
    }
    if (auto* button = window.findChild<QAbstractButton*>(name)) {
        return button->text();
    }
    return "<no control " + QString(name) + ">";
}

void Click(KessupWindow& window, const char* name) {
    if (auto* button = window.findChild<QAbstractButton*>(name)) {
        button->click();
    }
}

bool OpenThroughDialog(KessupWindow& window, int portRow) {
    ui::testing::WhenModal([portRow](QWidget* dialog) {
        if (auto* ports = dialog->findChild<QListWidget*>("portList")) {
            ports->setCurrentRow(portRow);
        }
        if (auto* open = dialog->findChild<QPushButton*>("openButton"); open && open->isEnabled()) {
            open->click();
        } else {
            dialog->close();
        }
    });
    Click(window, "portButton");
    return Shown(window, "portButton") == "Close";
}

bool WaitForStatus(const KessupWindow& window, const char* status, int boundMs) {
    return QTest::qWaitFor([&] { return Shown(window, "status") == status; }, boundMs);
}

}  // namespace qorval::bert::window::testing
