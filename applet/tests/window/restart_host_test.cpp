// OK and the restart prompt against a driver host running in this process: after "Yes" the
// port opens with the setting changed in the sheet.
// The host's headers name members "slots", which Qt defines as a macro: they come first.
#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"

#include <QApplication>

#include "applet/driver_restart.h"
#include "applet/tests/window/sheet_fixture.h"

namespace qorval::applet::testing {
namespace {

using ui::MessageAnswer;

TEST(RestartThroughDriverHost, PortOpensWithTheNewSettingAfterYes) {
    host::testing::InProcessHost host{host::BusOptions{}};
    ASSERT_EQ(host.Error(), "");
    const StorePaths paths = DefaultStorePaths();
    ui::testing::RecordingUserMessages user{};
    {
        window::CConfigSheet sheet(nullptr, StoreKind::Registry, paths, &user);
        sheet.show();
        QApplication::processEvents();
        ASSERT_GE(sheet.Model().driver_count, 1);
        ASSERT_EQ(sheet.Model().driver(0).name, "Wyvel32");
        sheet.Model().selected_port = 0;
        sheet.Tabs()->setCurrentIndex(kBufferInfo);
        auto* edit = sheet.Page(kBufferInfo)->findChild<QLineEdit*>("txBuffers");
        edit->setFocus();
        edit->selectAll();
        edit->insert("12");
        edit->setModified(true);
        // Whatever the OK-time checks ask about the host's ports, keep them as they are.
        for (int i = 0; i < 16; ++i) user.Answer(MessageAnswer::No);
        sheet.accept();
        ASSERT_EQ(sheet.result(), QDialog::Accepted)
            << (user.shown.empty() ? "" : user.shown.back().text);
    }
    ui::testing::RecordingUserMessages restart({MessageAnswer::Yes});
    EXPECT_EQ(RunRestartPrompt(restart, ControlSocketAsk()), RestartOutcome::Restarted);
    EXPECT_EQ(restart.shown.back().text,
              "The driver host restarted port 1, 2 with the new settings.");

    QORVAL_HANDLE handle{};
    ASSERT_EQ(QORVAL_PortOpen(3, 1, &handle), 0u);
    PortInfo info{};
    ASSERT_EQ(QORVAL_GetPortInfo(handle, &info), 0u);
    EXPECT_EQ(info.txBuffers, 12);
    EXPECT_EQ(QORVAL_PortClose(handle), 0u);
}

TEST(RestartThroughDriverHost, NoHostRunningIsSaid) {
    TempDir prefix;
    ::setenv("QORVAL_PREFIX", prefix.path().c_str(), 1);
    ui::testing::RecordingUserMessages user({MessageAnswer::Yes});
    EXPECT_EQ(RunRestartPrompt(user, ControlSocketAsk()), RestartOutcome::NoDriverHost);
    ::unsetenv("QORVAL_PREFIX");
}

}  // namespace
}  // namespace qorval::applet::testing
