#include "analyser/window/shell/tests/shell_test_fixture.h"

#include <QComboBox>
#include <QDialog>
#include <fstream>

#include "analyser/window/document/capture_feed.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/modal_driver.h"

namespace qorval::analyser::testing {

void ShellTest::SetUp() {
    Fake().Reset();
    for (uint16_t port : {1, 2}) {
        fake::FakePortSpec entry;
        entry.port = port;
        Fake().AddPort(entry);
    }
    Fake().ConnectPair(kDriver, 1, 2);
    ASSERT_EQ(QORVAL_PortOpen(kDriver, 2, &farEnd_), QORVAL_OK);
    dir_ = MakeTempDir();
    frame_ = MakeFrame();
}

void ShellTest::TearDown() {
    frame_.reset();
    (void)QORVAL_PortClose(farEnd_);
    std::filesystem::remove_all(dir_);
}

std::unique_ptr<CMainFrame> ShellTest::MakeFrame() {
    auto frame = std::make_unique<CMainFrame>(dir_ / "lombex32.ini", &messages_);
    EXPECT_TRUE(frame->StartEngine()) << messages_.LastText();
    return frame;
}

void ShellTest::SelectPort1() {
    ui::testing::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* ports = dialog->findChild<QComboBox*>("portList");
        ASSERT_NE(ports, nullptr);
        ports->setCurrentIndex(0);  // "1 - Port001"
        dialog->accept();
    });
    Trigger(frame_->Actions().selectDriverPort);
    ASSERT_TRUE(frame_->App().PortSelected()) << messages_.LastText();
    ASSERT_EQ(frame_->App().SelectedPort().portNumber, 1);
}

void ShellTest::Trigger(QAction* action) {
    ASSERT_TRUE(action->isEnabled()) << ui::FromQString(action->objectName());
    action->trigger();
}

void ShellTest::SendFromFarEnd(std::string_view bytes) {
    ASSERT_EQ(QORVAL_PutData(farEnd_, reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<uint32_t>(bytes.size())),
              QORVAL_OK);
}

std::vector<std::string> ShellTest::ReceivedAtFarEnd() {
    std::vector<std::string> frames;
    uint8_t buffer[2048];
    for (;;) {
        uint32_t length = 0;
        if (QORVAL_GetData(farEnd_, buffer, sizeof buffer, &length) != QORVAL_OK || length == 0) {
            return frames;
        }
        frames.emplace_back(reinterpret_cast<char*>(buffer), length);
    }
}

std::string ShellTest::CaptureText() {
    if (frame_->Feed() != nullptr) {
        frame_->Feed()->Flush();
    }
    CChildFrame* child = frame_->CaptureChild();
    return child == nullptr ? std::string{} : ui::FromQString(child->View().toPlainText());
}

std::filesystem::path ShellTest::WriteFile(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return dir_ / name;
}

namespace {

void FocusForKeys(QWidget& window, QWidget& widget) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    widget.setFocus();
}

}  // namespace

void ShellTest::Type(QWidget& widget, const QString& keys) {
    FocusForKeys(*frame_, widget);
    for (const QChar c : keys) {
        QTest::keyClick(frame_->windowHandle(), c.toLatin1());
    }
}

void ShellTest::PressKey(QWidget& widget, Qt::Key key) {
    FocusForKeys(*frame_, widget);
    QTest::keyClick(frame_->windowHandle(), key);
}

}  // namespace qorval::analyser::testing
