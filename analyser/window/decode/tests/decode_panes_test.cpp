// The decoded view from the main window against the simulated pair: the format and the link
// chosen from the menus, the filter typed into the "Decoded Frames" pane limiting the capture
// window and the rows (also after the capture stopped), find next and previous, the
// "Statistics" pane, and the CSV export. The panes' screenshots are written here.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

#include "analyser/window/decode/decode_commands.h"
#include "analyser/window/decode/decoded_frames_pane.h"
#include "analyser/window/decode/statistics_pane.h"
#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class DecodePanes : public ShellTest {
  protected:
    // The panes dock in the shown main window; its keys reach it while it is active.
    void SetUp() override {
        ShellTest::SetUp();
        frame_->show();
        Activate();
    }
    // The window is active again after a dialog closed.
    void Activate() {
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    }
    DecodeCommands& Decoding() { return frame_->Decoding(); }
    DecodedFramesPane& Pane() { return Decoding().FramesPane(); }
    QAction* LinkAction(const char* name) {
        auto* action = frame_->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    // Select Driver/Port, the LAPB link and the decoded format from the menus, then capture.
    void StartLapbCapture() {
        SelectPort1();
        Trigger(LinkAction("link_lapb"));
        Trigger(Decoding().Actions().decoded);
        Trigger(frame_->Actions().capture);
        ASSERT_TRUE(frame_->App().Capturing());
        Activate();
    }
    void SendFrames(std::initializer_list<std::string_view> frames) {
        for (std::string_view bytes : frames) {
            SendFromFarEnd(bytes);
        }
    }
    void WaitForTaken(uint64_t frames) {
        ASSERT_TRUE(WaitFor([&] { return frame_->App().Statistics().received.frames >= frames; }));
    }
    // Types an expression into one of the pane's edits, as a user does.
    void Type(const char* edit, const std::string& text) {
        auto* line = Pane().findChild<QLineEdit*>(edit);
        ASSERT_NE(line, nullptr);
        QTest::mouseClick(line, Qt::LeftButton);
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        QTest::keyClicks(line, QString::fromStdString(text));
    }
    void Click(const char* button) {
        auto* push = Pane().findChild<QPushButton*>(button);
        ASSERT_NE(push, nullptr);
        QTest::mouseClick(push, Qt::LeftButton);
    }
    // The pane's rows as the table shows them: "No. Direction Decoded".
    std::vector<std::string> Rows() {
        Pane().Refresh();
        QAbstractItemModel* model = Pane().Table().model();
        std::vector<std::string> rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            auto cell = [&](int column) {
                return ui::FromQString(model->index(row, column).data().toString());
            };
            rows.push_back(cell(0) + " " + cell(2) + " " + cell(5));
        }
        return rows;
    }
    int SelectedRow() { return Pane().Table().currentIndex().row(); }
};

const std::string_view kRR = "\x01\x21";
const std::string_view kRnr = "\x01\x45";
const std::string kIframe3 = std::string("\x01\x66\x10\x05\x00", 5);  // I N(S)=3 N(R)=3

TEST_F(DecodePanes, DecodedFormatAndLinkChosenFromTheMenus) {
    StartLapbCapture();
    EXPECT_TRUE(Decoding().Actions().decoded->isChecked());
    EXPECT_TRUE(LinkAction("link_lapb")->isChecked());
    EXPECT_FALSE(LinkAction("link_fr")->isChecked());
    for (QAction* byteFormat :
         {frame_->Actions().ascii, frame_->Actions().hex, frame_->Actions().mixed}) {
        EXPECT_FALSE(byteFormat->isChecked());
    }
    SendFrames({"\x01\x3F", kRnr});
    ASSERT_TRUE(WaitFor([&] { return frame_->App().FramesShown() >= 2; }));
    EXPECT_EQ(CaptureText(), "0001     2 B C SABM P\n0002     2 B RNR N(R)=2\n");

    // Frame Relay from the submenu: the next frame is decoded by it.
    auto* menu = frame_->findChild<QMenu*>("linkProtocolMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().size(), 7);
    Trigger(LinkAction("link_fr"));
    SendFrames({"\x18\x4B\x03\xCC"});
    ASSERT_TRUE(WaitFor([&] { return frame_->App().FramesShown() >= 3; }));
    EXPECT_NE(CaptureText().find("0003     4 DLCI 100 FECN DE NLPID=CC IP\n"), std::string::npos);

    Trigger(frame_->Actions().hex);
    EXPECT_FALSE(Decoding().Actions().decoded->isChecked());
    EXPECT_TRUE(frame_->Actions().hex->isChecked());
}

TEST_F(DecodePanes, FilterLimitsTheCaptureWindowAndTheRowsAlsoAfterTheCaptureStopped) {
    StartLapbCapture();
    Trigger(Decoding().Actions().decodedFrames);
    ASSERT_TRUE(Pane().isVisible());
    Type("filterEdit", "type == RNR");
    Click("applyFilter");
    EXPECT_EQ(frame_->App().Filter().Expression(), "type == RNR");
    SendFrames({kRR, kRnr, kRR});
    WaitForTaken(3);
    ASSERT_TRUE(WaitFor([&] { return Rows().size() == 1; }));
    EXPECT_EQ(CaptureText(), "0002     2 B RNR N(R)=2\n");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"2 received B RNR N(R)=2"}));

    // A faulty expression is shown under the edits and changes nothing.
    Type("filterEdit", "type == RNRX");
    Click("applyFilter");
    auto* problem = Pane().findChild<QLabel*>("expressionProblem");
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(problem->isVisible());
    EXPECT_EQ(ui::FromQString(problem->text()),
              "Filter, column 9: type has no value named RNRX");
    EXPECT_EQ(Rows().size(), 1u);

    // The stopped capture's frames are filtered again by a new expression.
    Trigger(frame_->Actions().capture);
    ASSERT_FALSE(frame_->App().Capturing());
    Type("filterEdit", "type == RR");
    QTest::keyClick(Pane().findChild<QLineEdit*>("filterEdit"), Qt::Key_Return);
    EXPECT_FALSE(problem->isVisible());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 received B RR N(R)=1",
                                                "3 received B RR N(R)=1"}));
    // And decoded again by another link.
    Trigger(LinkAction("link_raw"));
    Type("filterEdit", "");
    Click("applyFilter");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 received 01 21", "2 received 01 45",
                                                "3 received 01 21"}));
}

TEST_F(DecodePanes, FindNextAndPreviousSelectTheMatchingRows) {
    StartLapbCapture();
    SendFrames({kRR, kIframe3, kRnr, kIframe3, kRR});
    WaitForTaken(5);
    Trigger(Decoding().Actions().decodedFrames);
    ASSERT_TRUE(WaitFor([&] { return Rows().size() == 5; }));
    Type("findEdit", "ns == 3");
    // F3 where the user typed: the window's key reaches past the edit.
    auto* findEdit = Pane().findChild<QLineEdit*>("findEdit");
    QTest::keyClick(findEdit, Qt::Key_F3);
    EXPECT_EQ(SelectedRow(), 1);
    Click("findNext");
    EXPECT_EQ(SelectedRow(), 3);
    Click("findNext");
    EXPECT_EQ(SelectedRow(), 3);
    EXPECT_EQ(messages_.LastStatus(), "No frame after this one matches.");
    QTest::keyClick(findEdit, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRow(), 1);
    Type("findEdit", "type == RNR || crc");
    Click("findPrevious");
    EXPECT_EQ(SelectedRow(), 1);
    EXPECT_EQ(messages_.LastStatus(), "No frame before this one matches.");
    Click("findNext");
    EXPECT_EQ(SelectedRow(), 2);
}

TEST_F(DecodePanes, StatisticsPaneCountsEveryFrameOfTheCapture) {
    StartLapbCapture();
    Trigger(Decoding().Actions().statistics);
    StatisticsPane& pane = Decoding().Statistics();
    ASSERT_TRUE(pane.isVisible());
    Fake().QueueFrame(kDriver, 1, {0x01, 0x21}, 0, QORVAL_CRC_ERROR);
    SendFrames({kRR, kRnr, kIframe3});
    WaitForTaken(4);
    ASSERT_TRUE(WaitFor([&] { return pane.Figure("Frames received") == "4"; }));
    EXPECT_EQ(pane.Figure("Bytes received"), "11");
    EXPECT_EQ(pane.Figure("Errors CRC"), "1");
    EXPECT_EQ(pane.Figure("Errors abort"), "not reported");
    EXPECT_EQ(pane.Figure("Type RR"), "2");
    EXPECT_EQ(pane.Figure("Type RNR"), "1");
    EXPECT_EQ(pane.Figure("Type I"), "1");
}

TEST_F(DecodePanes, ExportWritesTheRowsAsCsv) {
    StartLapbCapture();
    EXPECT_FALSE(Decoding().Actions().exportDecodedList->isEnabled());
    SendFrames({kRR, kRnr});
    WaitForTaken(2);
    Trigger(frame_->Actions().capture);
    ASSERT_TRUE(Decoding().Actions().exportDecodedList->isEnabled());
    const std::filesystem::path csv = dir_ / "list.csv";
    messages_.ChooseNext(csv.string());
    Trigger(Decoding().Actions().exportDecodedList);
    ASSERT_EQ(messages_.fileChoices.back().caption, "Export Decoded List");
    EXPECT_EQ(messages_.LastStatus(), "Decoded list exported to " + csv.string() + ".");
    const std::string text = ReadFile(csv);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_NE(text.find(",received,2,OK,B RNR N(R)=2,,01,B,,RNR,,2,0,"), std::string::npos) << text;

    messages_.ChooseNext((dir_ / "missing" / "list.csv").string());
    Trigger(Decoding().Actions().exportDecodedList);
    EXPECT_EQ(messages_.LastText(),
              "Cannot write the decoded list " + (dir_ / "missing" / "list.csv").string() + ".");
}

TEST_F(DecodePanes, Screenshots) {
    frame_->resize(1180, 800);
    StartLapbCapture();
    Trigger(Decoding().Actions().decodedFrames);
    Type("filterEdit", "type == I || type == RNR || type == REJ");
    Click("applyFilter");
    SendFrames({"\x01\x3F", "\x01\x73", std::string_view("\x01\x00\x10\x01\x00\x48\x49", 7),
                kRR, kRnr, "\x01\x31", kIframe3, "\x01\x29", kIframe3, "\x01\x41"});
    WaitForTaken(10);
    ASSERT_TRUE(WaitFor([&] { return Rows().size() == 5; }));
    Type("findEdit", "ns == 3");
    Click("findNext");
    CaptureText();
    frame_->CaptureChild()->showMaximized();
    EXPECT_TRUE(ui::testing::SaveScreenshot(*frame_, "lombex32-decoded-view"));
    Trigger(Decoding().Actions().statistics);
    Decoding().Statistics().Refresh();
    EXPECT_TRUE(ui::testing::SaveScreenshot(*frame_, "lombex32-statistics"));
}

}  // namespace
}  // namespace qorval::analyser::testing
