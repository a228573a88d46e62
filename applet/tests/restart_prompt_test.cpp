// The restart prompt: its question, and what Yes does with the driver host's answers.
#include <gtest/gtest.h>

#include <deque>

#include "applet/driver_restart.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using ui::MessageAnswer;
using ui::testing::RecordingUserMessages;

// A driver host that answers from a script and records the commands.
struct ScriptedHost {
    std::deque<std::string> answers;
    std::vector<std::string> commands;
    DriverHostAsk Ask() {
        return [this](const std::string& command) {
            commands.push_back(command);
            std::string answer = answers.empty() ? "ok\n" : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return answer;
        };
    }
};

TEST(RestartPrompt, NoAsksNothingOfTheHostAndNoIsTheDefault) {
    RecordingUserMessages user({MessageAnswer::No});
    ScriptedHost host;
    EXPECT_EQ(RunRestartPrompt(user, host.Ask()), RestartOutcome::Declined);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].text,
              "You will need to exit and restart windows\nbefore the new settings can take "
              "effect.\n\nDo you wish to reboot now?");
    EXPECT_EQ(user.shown[0].caption, "Restart Windows");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Warning);
    EXPECT_EQ(user.shown[0].defaultAnswer, MessageAnswer::No);
    EXPECT_TRUE(host.commands.empty());
}

TEST(RestartPrompt, YesStartsEveryPortAlsoOnesAnEarlierFailureLeftStopped) {
    RecordingUserMessages user({MessageAnswer::Yes});
    ScriptedHost host;
    host.answers = {
        "ok\nport 1 started Wyvel32_001\nport 2 stopped Wyvel32_002\n"
        "port 3 started Wyvel32_003\nport 4 surprise-removed Wyvel32_004\n"};
    EXPECT_EQ(RunRestartPrompt(user, host.Ask()), RestartOutcome::Restarted);
    EXPECT_EQ(host.commands, (std::vector<std::string>{"list", "stop 1", "start 1", "start 2",
                                                       "stop 3", "start 3"}));
    EXPECT_EQ(user.shown.back().text,
              "The driver host restarted port 1, 2, 3 with the new settings.");
}

TEST(RestartPrompt, NoDriverHostIsSaidPlainly) {
    RecordingUserMessages user({MessageAnswer::Yes});
    ScriptedHost host;
    host.answers = {"error: no driver host is running (/p/run/wyvel32.control)\n"};
    EXPECT_EQ(RunRestartPrompt(user, host.Ask()), RestartOutcome::NoDriverHost);
    EXPECT_NE(user.shown.back().text.find("No driver host is running"), std::string::npos);
    EXPECT_NE(user.shown.back().text.find("wyvel32 run"), std::string::npos);
}

TEST(RestartPrompt, APortTheDriverRefusesIsNamedWithTheValueAndTheOthersStillStart) {
    RecordingUserMessages user({MessageAnswer::Yes});
    ScriptedHost host;
    host.answers = {"ok\nport 1 started a\nport 2 started b\n", "ok\n",
                    "error: start failed with status 0xC0000001; the driver logged event "
                    "0xE007000C \"SyncNodeAddress\": Registry value SyncNodeAddress is out of "
                    "range.\n"};
    EXPECT_EQ(RunRestartPrompt(user, host.Ask()), RestartOutcome::Failed);
    EXPECT_EQ(host.commands,
              (std::vector<std::string>{"list", "stop 1", "start 1", "stop 2", "start 2"}));
    EXPECT_EQ(user.shown.back().caption, "Error");
    EXPECT_EQ(user.shown.back().icon, ui::MessageIcon::Stop);
    EXPECT_EQ(user.shown.back().text,
              "The driver host could not start every port with the new settings:\n\n"
              "Port 1: not started: start failed with status 0xC0000001; the driver logged "
              "event 0xE007000C \"SyncNodeAddress\": Registry value SyncNodeAddress is out of "
              "range.\nPort 2: restarted with the new settings.\n");
}

TEST(RestartPrompt, PortsOfADisabledDriverAreReportedButAreNoFailure) {
    ScriptedHost host;
    host.answers = {"ok\nport 1 started a\nport 2 disabled b\n", "ok\n",
                    "error: the Wyvel32 driver is disabled (Start is 4 in its service key)\n",
                    "error: the Wyvel32 driver is disabled (Start is 4 in its service key)\n"};
    const RestartReport report = RestartDriverHost(host.Ask());
    EXPECT_EQ(report.outcome, RestartOutcome::Restarted);
    EXPECT_EQ(host.commands, (std::vector<std::string>{"list", "stop 1", "start 1", "start 2"}));
    EXPECT_EQ(report.text,
              "The driver host applied the new settings:\n\n"
              "Port 1: not started: the Wyvel32 driver is disabled (Start is 4 in its service "
              "key).\nPort 2: not started: the Wyvel32 driver is disabled (Start is 4 in its "
              "service key).\n");
}

TEST(RestartPrompt, AHostThatDoesNotAnswerIsAFailure) {
    RecordingUserMessages user({MessageAnswer::Yes});
    ScriptedHost host;
    host.answers = {"error: the driver host did not answer within 5 s (x); it may be stopped\n"};
    EXPECT_EQ(RunRestartPrompt(user, host.Ask()), RestartOutcome::Failed);
    EXPECT_EQ(user.shown.back().text,
              "The driver host could not list its ports: the driver host did not answer within "
              "5 s (x); it may be stopped");
}

}  // namespace
}  // namespace qorval::applet
