#include "terminal/window/tests/window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "platform/window/testing/modal_driver.h"
#include "terminal/window/terminal_text_area.h"

namespace qorval::terminal::window::testing {

using ui::testing::WhenModal;

void VintorWindowTest::SetUp() {
    fake.Reset();
    fake.AddPort({.driver_type = kDriver, .port = 1});
    fake.AddPort({.driver_type = kDriver, .port = 2});
    fake.SetAutoAdvanceMs(1);
    window = std::make_unique<VintorWindow>();
    window->show();
}

void VintorWindowTest::TearDown() {
    window.reset();
    QApplication::processEvents();
}

QAction* VintorWindowTest::Item(const char* name) {
    auto* item = window->findChild<QAction*>(name);
    if (item == nullptr) {
        ADD_FAILURE() << "no menu item " << name;
    }
    return item;
}

void VintorWindowTest::Trigger(const char* name) {
    QAction* item = Item(name);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled()) << name;
    item->trigger();
}

void VintorWindowTest::OpenPortFromMenu() {
    WhenModal([](QWidget* dialog) {
        ASSERT_EQ(dialog->windowTitle(), "Open Port");
        auto* open = dialog->findChild<QPushButton*>("openButton");
        ASSERT_NE(open, nullptr);
        ASSERT_TRUE(open->isEnabled());
        open->click();
    });
    Trigger("portOpen");
    ASSERT_TRUE(window->Session().Port().IsOpen());
}

void VintorWindowTest::ChooseInNextFileDialog(const QString& path, const QString& first_filter,
                                              std::function<void(QWidget*)> next) {
    WhenModal([path, first_filter, next](QWidget* modal) {
        if (next) {
            WhenModal(next);
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        // The label as written, with the patterns Qt reads after it.
        EXPECT_TRUE(dialog->nameFilters().value(0).startsWith(first_filter))
            << dialog->nameFilters().value(0).toStdString();
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

QString VintorWindowTest::Shown() const {
    return window->TextArea().toPlainText();
}

void WhileRunning(std::function<bool()> check, int bound_ms) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, bound_ms, check] {
        if (check()) {
            timer->stop();
            timer->deleteLater();
        } else if (clock->elapsed() > bound_ms) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the condition was not met within " << bound_ms << " ms";
        }
    });
    timer->start();
}

}  // namespace qorval::terminal::window::testing
