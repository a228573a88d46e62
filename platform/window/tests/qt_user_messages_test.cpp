#include "platform/window/qt_user_messages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include "platform/window/qt_progress_window.h"
#include "platform/window/testing/modal_driver.h"

namespace qorval::ui {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenMessageBox;

struct BoxCase {
    MessageIcon icon;
    MessageButtons buttons;
    QMessageBox::Icon qtIcon;
    QMessageBox::StandardButtons qtButtons;
    QMessageBox::StandardButton pressed;
    MessageAnswer answer;
};

std::string BoxCaseName(const ::testing::TestParamInfo<BoxCase>& info) {
    static constexpr const char* kIcons[] = {"NoIcon", "Information", "Question", "Warning",
                                             "Stop"};
    return std::string(kIcons[static_cast<int>(info.param.icon)]) + std::to_string(info.index);
}

class MessageBoxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxes, ShowCaptionIconButtonsAndReturnThePressedButton) {
    const BoxCase c = GetParam();
    QMainWindow window;
    QtUserMessages messages(&window);
    SeenMessageBox seen;
    AnswerNextMessageBox(c.pressed, &seen);
    const MessageAnswer answer =
        messages.ShowMessage({"Port is not open.", "Kessup", c.icon, c.buttons, {}});
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(seen.caption, "Kessup");
    EXPECT_EQ(seen.text, "Port is not open.");
    EXPECT_EQ(seen.icon, static_cast<int>(c.qtIcon));
    EXPECT_EQ(seen.buttons, static_cast<int>(c.qtButtons));
}

INSTANTIATE_TEST_SUITE_P(
    EveryIconAndButtonSet, MessageBoxes,
    ::testing::Values(
        BoxCase{MessageIcon::None, MessageButtons::Ok, QMessageBox::NoIcon, QMessageBox::Ok,
                QMessageBox::Ok, MessageAnswer::Ok},
        BoxCase{MessageIcon::Information, MessageButtons::OkCancel, QMessageBox::Information,
                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, MessageAnswer::Cancel},
        BoxCase{MessageIcon::Question, MessageButtons::YesNo, QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, MessageAnswer::Yes},
        BoxCase{MessageIcon::Warning, MessageButtons::YesNoCancel, QMessageBox::Warning,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No,
                MessageAnswer::No},
        BoxCase{MessageIcon::Stop, MessageButtons::Ok, QMessageBox::Critical, QMessageBox::Ok,
                QMessageBox::Ok, MessageAnswer::Ok}),
    BoxCaseName);

TEST(MessageBoxes, ClosedWithEscapeAnswersTheNegativeButton) {
    QMainWindow window;
    QtUserMessages messages(&window);
    for (const auto& [buttons, expected] :
         {std::pair{MessageButtons::YesNo, MessageAnswer::No},
          std::pair{MessageButtons::OkCancel, MessageAnswer::Cancel}}) {
        testing::WhenModal([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            box->reject();
        });
        EXPECT_EQ(messages.ShowMessage({"Save changes?", "Lombex", MessageIcon::Question, buttons, {}}),
                  expected);
    }
}

TEST(StatusBar, ShowsTheTextInItsFirstPaneAndIgnoresAMissingBar) {
    QMainWindow window;
    QtUserMessages messages(&window);
    messages.ShowStatus("dropped: no status bar yet");
    messages.SetStatusBar(window.statusBar());
    messages.ShowStatus("Capture started");
    EXPECT_EQ(window.statusBar()->currentMessage(), "Capture started");
}

TEST(FileDialogFilters, KeepTheLabelsAndMatchEveryFileForStarDotStar) {
    EXPECT_EQ(ToNameFilters("Log Files (*.log) | *.log | All Files (*.*) | *.* ||"),
              (QStringList{"Log Files (*.log) (*.log)", "All Files (*.*) (*)"}));
}

TEST(FileDialog, AnOpenDialogThatNeedNotFindTheFileTakesANewName) {
    QMainWindow window;
    QtUserMessages messages(&window);
    const QString newFile = QDir::temp().filePath("qorval-not-made-yet.log");
    QFile::remove(newFile);
    testing::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->selectFile(newFile);
        QMetaObject::invokeMethod(dialog, "accept");  // as the Open button does
    });
    FileChoice choice;
    choice.filter = "All Files (*.*)|*.*||";
    choice.mustExist = false;
    EXPECT_EQ(messages.ChooseFile(choice), FromQString(newFile));
}

TEST(ProgressWindow, CancelSetsTheFlagAndHidesTheWindow) {
    QMainWindow window;
    CancelFlag cancel{false};
    QtProgressWindow progress(cancel, &window);
    progress.Open("Vintor", "Transferring File...");
    progress.SetPercent(140);
    EXPECT_TRUE(progress.isVisible());
    auto* bar = progress.findChild<QWidget*>("progressBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->property("value").toInt(), 100) << "percent is clamped to the bar";
    EXPECT_FALSE(cancel.load());
    auto* button = progress.findChild<QPushButton*>("cancelButton");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_TRUE(cancel.load());
    EXPECT_FALSE(progress.isVisible());
}

}  // namespace
}  // namespace qorval::ui
