// Binary and text transfers started from the terminal's menus, with the progress window, its
// Cancel and the window closed meanwhile, to a far end on the second port of a fake pair.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "platform/window/qt_progress_window.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/screenshot.h"
#include "terminal/protocol.h"
#include "terminal/tests/support/far_end.h"
#include "terminal/window/tests/window_fixture.h"

namespace qorval::terminal::window::testing {
namespace {

using terminal::testing::FarEndHook;
using terminal::testing::Pattern;
using terminal::testing::ReadBytes;
using terminal::testing::ReferenceReceiver;
using terminal::testing::ReferenceSender;
using terminal::testing::WriteBytes;
using ui::testing::AnswerNextMessageBox;
using ui::testing::SaveScreenshot;
using ui::testing::SeenMessageBox;
using ui::testing::WhenModal;

class VintorTransferTest : public VintorWindowTest {
  protected:
    void SetUp() override {
        VintorWindowTest::SetUp();
        fake.ConnectPair(kDriver, 1, 2);
        OpenPortFromMenu();
    }

    // Queues the "Protocol Selection" answer `choice`, then `next` for the window after it.
    static void ChooseProtocol(int choice, std::function<void(QWidget*)> next) {
        WhenModal([choice, next](QWidget* dialog) {
            if (next) {
                WhenModal(next);
            }
            EXPECT_EQ(dialog->windowTitle(), "Protocol Selection");
            auto* list = dialog->findChild<QComboBox*>("protocol");
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->currentText(), "X-MODEM");
            list->setCurrentIndex(choice);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    // Sends `data` by YMODEM from the menu; `during` runs on every pass of the event loop while
    // the transfer runs, until it returns true.
    void SendYmodem(const std::vector<uint8_t>& data, std::function<bool()> during,
                    std::function<void(QWidget*)> after_file = nullptr) {
        const std::string path = dir.File("report.bin");
        WriteBytes(path, data);
        ChooseProtocol(2, [=](QWidget* file_dialog) {
            if (after_file) {
                WhenModal(after_file);
            }
            auto* files = qobject_cast<QFileDialog*>(file_dialog);
            ASSERT_NE(files, nullptr);
            EXPECT_TRUE(files->nameFilters().value(0).startsWith("All Files (*.*)"));
            files->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(files, "accept");
            WhileRunning(during);
        });
        Trigger("transmitBin");
    }

    // A YMODEM send of 40000 bytes to `far`, in which `act` runs once a tenth has gone.
    void SendAndActMidway(FarEndHook& hook, std::function<void()> act) {
        SendYmodem(Pattern(40000), [&] {
            if (Progress().isVisible() && Percent() > 10) {
                act();
                return true;
            }
            return false;
        });
        hook.Step();  // what was sent after the engine last read the clock
    }

    ui::QtProgressWindow& Progress() { return window->Progress(); }
    int Percent() { return Progress().findChild<QProgressBar*>("progressBar")->value(); }
};

// The last bytes the far end heard are eight CANs.
bool EndsWithCancel(const std::vector<uint8_t>& heard) {
    if (heard.size() < 8) {
        return false;
    }
    return std::all_of(heard.end() - 8, heard.end(), [](uint8_t b) { return b == kCan; });
}

TEST_F(VintorTransferTest, YmodemToTheSecondPortWithItsProgressWindow) {
    ReferenceReceiver far;
    far.ymodem = true;
    FarEndHook hook(far, kDriver, 2);
    const std::vector<uint8_t> data = Pattern(20000);

    bool seen_running = false;
    bool shot = false;
    SeenMessageBox done;
    SendYmodem(
        data,
        [&] {
            if (Progress().isVisible() && Percent() > 30) {
                seen_running = true;
                EXPECT_FALSE(window->menuBar()->isEnabled());  // the window is disabled
                if (!shot) {
                    shot = SaveScreenshot(Progress(), "vintor-progress");
                }
                return true;
            }
            return false;
        },
        [&](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(message, nullptr) << box->metaObject()->className() << " "
                                        << box->windowTitle().toStdString();
            done.caption = message->windowTitle();
            done.text = message->text();
            message->button(QMessageBox::Ok)->click();
        });
    hook.Step();

    EXPECT_TRUE(seen_running);
    EXPECT_EQ(done.caption, "Vintor");
    EXPECT_EQ(done.text, "File(s) successfully transmitted.");
    EXPECT_TRUE(far.finished);
    EXPECT_EQ(far.name, "report.bin");
    EXPECT_EQ(far.size_text, "20000");
    far.data.resize(std::min(far.data.size(), data.size()));  // the last block's padding
    EXPECT_EQ(far.data, data);
    EXPECT_FALSE(Progress().isVisible());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_EQ(window->statusBar()->currentMessage(), "File successfully transmitted");
}

TEST_F(VintorTransferTest, CancelStopsTheTransferAndTellsTheFarEnd) {
    ReferenceReceiver far;
    far.ymodem = true;
    FarEndHook hook(far, kDriver, 2);
    SendAndActMidway(hook, [&] { Progress().findChild<QPushButton*>("cancelButton")->click(); });

    EXPECT_FALSE(far.finished);
    EXPECT_LT(far.data.size(), 40000u);
    EXPECT_TRUE(EndsWithCancel(hook.heard));
    EXPECT_FALSE(Progress().isVisible());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_TRUE(window->Session().Port().IsOpen());  // the port stays open for the next command
}

// The driver host dies in the middle of a send: the transfer stops at once, the user is told
// once why and how to start the host, and the window is given back with the port closed and
// the modem buttons showing nothing.
TEST_F(VintorTransferTest, AHostThatDiesMidTransferStopsItAndIsSaidOnce) {
    ReferenceReceiver far;
    far.ymodem = true;
    FarEndHook hook(far, kDriver, 2);
    SeenMessageBox seen;
    int boxes = 0;
    SendAndActMidway(hook, [&] {
        WhenModal([&](QWidget* box) {
            ++boxes;
            SaveScreenshot(*box, "vintor-port-lost");
            AnswerNextMessageBox(QMessageBox::Ok, &seen);
        });
        fake.KillHost();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!seen.text.isEmpty(), 10000);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(seen.caption, "Vintor");
    EXPECT_TRUE(seen.text.contains("connection to the driver host was lost"))
        << seen.text.toStdString();
    EXPECT_TRUE(seen.text.contains("wyvel32 run"));
    EXPECT_FALSE(far.finished);
    EXPECT_FALSE(Progress().isVisible());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_FALSE(window->Session().Port().IsOpen());
    EXPECT_EQ(Item("portOpen")->text(), "Port &Open...");
    for (const char* line : {"dtr", "rts", "cts", "dsr", "dcd", "ri"}) {
        EXPECT_FALSE(Item(line)->isChecked()) << line;
        EXPECT_FALSE(Item(line)->isEnabled()) << line;
    }
}

TEST_F(VintorTransferTest, ClosingTheWindowDuringATransferStopsItAndClosesThePort) {
    ReferenceReceiver far;
    far.ymodem = true;
    FarEndHook hook(far, kDriver, 2);
    SendAndActMidway(hook, [&] { window->close(); });
    EXPECT_TRUE(EndsWithCancel(hook.heard));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 5000);
    EXPECT_FALSE(window->Session().Port().IsOpen());
    EXPECT_FALSE(Progress().isVisible());
    const auto calls = fake.CallLog();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "QORVAL_PortClose(1)"), calls.end());
}

TEST_F(VintorTransferTest, YmodemReceiveIntoTheDownloadDirectory) {
    const std::string downloads = dir.File("downloads");
    std::filesystem::create_directory(downloads);
    window->Session().SetDownloadDirectory(downloads);
    ReferenceSender far;
    far.ymodem = true;
    far.block_size = 1024;
    far.name = "from-far.bin";
    far.file = Pattern(5000);
    FarEndHook hook(far, kDriver, 2);

    // No file dialog: the name comes from the header. The empty header ends the batch.
    SeenMessageBox done;
    ChooseProtocol(2, [&](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        ASSERT_NE(message, nullptr) << box->metaObject()->className();
        done.text = message->text();
        message->button(QMessageBox::Ok)->click();
    });
    Trigger("receiveBin");
    EXPECT_EQ(done.text, "Done receiving files.");
    hook.Step();
    EXPECT_TRUE(far.finished);
    EXPECT_EQ(ReadBytes(downloads + "/from-far.bin"), far.file);
    EXPECT_TRUE(window->menuBar()->isEnabled());
}

TEST_F(VintorTransferTest, ProtocolSelectionCancelledEndsTheCommand) {
    WhenModal([](QWidget* dialog) {
        SaveScreenshot(*dialog, "vintor-protocol-selection");
        QMetaObject::invokeMethod(dialog, "reject");
    });
    Trigger("transmitBin");
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_FALSE(Progress().isVisible());
}

TEST_F(VintorTransferTest, TextFileFromTheMenuGoesOutInFramesTheFarPortCanTake) {
    QORVAL_HANDLE peer = 0;
    // The far end of the pair is open so the frames arrive there.
    const std::string path = dir.File("notes.txt");
    const std::vector<uint8_t> data = Pattern(3 * 1024 + 10);
    WriteBytes(path, data);
    ASSERT_EQ(QORVAL_PortOpen(kDriver, 2, &peer), 0u);
    ChooseInNextFileDialog(QString::fromStdString(path), "Text Files (*.txt)");
    Trigger("transmitText");
    std::vector<uint8_t> got;
    std::vector<size_t> sizes;
    std::vector<uint8_t> frame(4096);
    uint32_t length = 0;
    while (QORVAL_GetData(peer, frame.data(), 4096, &length) == 0 && length > 0) {
        got.insert(got.end(), frame.begin(), frame.begin() + length);
        sizes.push_back(length);
    }
    QORVAL_PortClose(peer);
    EXPECT_EQ(got, data);
    // Each 1024-byte block of the file goes out through PutBlock, which cuts it to what a port
    // with 1024-byte receive buffers and a 4-byte CRC can take: 1020 bytes, then the rest.
    EXPECT_EQ(sizes, (std::vector<size_t>{1020, 4, 1020, 4, 1020, 4, 10}));
    EXPECT_FALSE(Progress().isVisible());
}

}  // namespace
}  // namespace qorval::terminal::window::testing
