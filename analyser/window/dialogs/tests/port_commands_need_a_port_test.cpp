// Every port command dialog first needs a selected port: without one the engine's message is
// shown, no dialog opens and the library is not called.
#include <gtest/gtest.h>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"

namespace qorval::analyser::testing {
namespace {

using RunDialog = void (*)(QWidget*, CAnalyserApp&, ui::UserMessages&);

class PortCommandsNeedAPort : public DialogTest, public ::testing::WithParamInterface<RunDialog> {};

TEST_P(PortCommandsNeedAPort, ShowTheMessageAndOpenNoDialog) {
    ASSERT_TRUE(app_->Startup());
    Fake().ClearCallLog();
    NoDialogGuard guard;
    GetParam()(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.user.Texts(),
              std::vector<std::string>{"Driver and Port have not been selected!\nExecute \"Select "
                                       "Driver/Port\" command and\ntry this command again!"});
    EXPECT_EQ(guard.Closed(), 0);
    EXPECT_TRUE(Fake().CallLog().empty());
    EXPECT_TRUE(messages_.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryPortCommand, PortCommandsNeedAPort,
                         ::testing::Values(&RunDeviceInfoDialog, &RunNodeAddressDialog,
                                           &RunResetBuffersDialog, &RunModemControlDialog,
                                           &RunPortStateDialog, &RunTransmitCharDialog));

}  // namespace
}  // namespace qorval::analyser::testing
