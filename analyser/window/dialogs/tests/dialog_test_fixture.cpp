#include "analyser/window/dialogs/tests/dialog_test_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/modal_driver.h"

namespace qorval::analyser::testing {

void WhenDialog(std::function<void(QDialog&)> action) {
    ui::testing::WhenModal([action = std::move(action)](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the modal window is not a dialog";
            modal->close();
            return;
        }
        try {
            action(*dialog);
        } catch (const MissingControl&) {
        }
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog \"" << ui::FromQString(dialog->windowTitle())
                          << "\" was left open";
            dialog->reject();
        }
    });
}

NoDialogGuard::NoDialogGuard() : timer_(new QTimer) {
    timer_->setInterval(0);
    QObject::connect(timer_, &QTimer::timeout, [this] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++closed_;
            ADD_FAILURE() << "a window opened: " << ui::FromQString(modal->windowTitle());
            modal->close();
        }
    });
    timer_->start();
}

NoDialogGuard::~NoDialogGuard() {
    delete timer_;
}

std::vector<std::string> DialogTest::CallValues(std::string_view function) {
    std::vector<std::string> values;
    const std::string prefix = std::string(function) + "(";
    for (const std::string& call : Fake().CallLog()) {
        if (call.starts_with(prefix) && call.ends_with(")")) {
            const std::string args = call.substr(prefix.size(), call.size() - prefix.size() - 1);
            const size_t comma = args.find(',');
            values.push_back(comma == std::string::npos ? std::string{} : args.substr(comma + 1));
        }
    }
    return values;
}

std::string Text(QWidget& control) {
    if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
        return ui::FromQString(edit->text());
    }
    if (auto* label = qobject_cast<QLabel*>(&control)) {
        return ui::FromQString(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        return ui::FromQString(button->text());
    }
    ADD_FAILURE() << "no text in " << control.metaObject()->className();
    return {};
}

}  // namespace qorval::analyser::testing
