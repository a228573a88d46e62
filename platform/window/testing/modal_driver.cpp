#include "platform/window/testing/modal_driver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace qorval::ui::testing {

void WhenModal(std::function<void(QWidget*)> action, int boundMs) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, boundMs, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (clock->elapsed() > boundMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal window appeared within " << boundMs << " ms";
        }
    });
    timer->start();
}

void AnswerNextMessageBox(int button, SeenMessageBox* seen) {
    AnswerNextMessageBox(button, seen, nullptr);
}

void AnswerNextMessageBox(int button, SeenMessageBox* seen, std::function<void(QWidget*)> next) {
    WhenModal([button, seen, next](QWidget* modal) {
        // Looked for from the next pass of the event loop on, when this box has gone.
        if (next) {
            WhenModal(next);
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            ADD_FAILURE() << "the modal window is not a message box: "
                          << modal->metaObject()->className();
            modal->close();
            return;
        }
        if (seen != nullptr) {
            *seen = {box->windowTitle(), box->text(), static_cast<int>(box->icon()),
                     static_cast<int>(box->standardButtons())};
        }
        QAbstractButton* pressed = box->button(static_cast<QMessageBox::StandardButton>(button));
        if (pressed == nullptr) {
            ADD_FAILURE() << "the message box has no such button";
            box->reject();
            return;
        }
        pressed->click();
    });
}

}  // namespace qorval::ui::testing
