// The document and its view: files in and out unchanged, the text limit for typing, opening
// and capturing, and the capture feed's batches.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "analyser/tests/engine_fixture.h"
#include "analyser/window/document/capture_feed.h"
#include "analyser/window/document/lombex32_doc.h"
#include "analyser/window/document/lombex32_view.h"

namespace qorval::analyser::testing {
namespace {

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }

    std::filesystem::path dir_;
    ViewSettings settings_;
    CLombex32View view_{settings_};
    CLombex32Doc doc_{view_, "Lombex1"};
};

TEST_F(DocumentTest, AFileComesBackByteForByteWithItsLineEndsAndCharacterSet) {
    for (const std::string& bytes : {std::string("one\r\ntwo\r\n"), std::string("one\ntwo"),
                                    std::string("caf\xE9\r\n\x01\x7F"),  // not UTF-8
                                    std::string("caf\xC3\xA9\n")}) {
        const auto path = Write("in.txt", bytes);
        ASSERT_EQ(doc_.Open(path), CLombex32Doc::LoadResult::Ok);
        EXPECT_EQ(doc_.Title(), "in.txt");
        EXPECT_FALSE(doc_.IsModified());
        ASSERT_TRUE(doc_.Save(dir_ / "out.txt"));
        EXPECT_EQ(ReadFile(dir_ / "out.txt"), bytes);
        EXPECT_EQ(doc_.Title(), "out.txt");
    }
}

// Bytes that a text view would change on the way through: every line end kind mixed, a lone
// carriage return before a line feed pair, no-break spaces and other high bytes, NUL, and a
// file of random bytes; also UTF-8 holding characters the view takes for line breaks.
TEST_F(DocumentTest, WhatIsOpenedAndNotEditedIsSavedByteForByte) {
    std::string binary(3000, '\0');
    uint32_t seed = 12345;
    for (char& c : binary) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char>(seed >> 16);
    }
    const std::string cases[] = {
        std::string("crlf\r\nlone cr\rlone lf\ncr before\r\r\nlast"),
        std::string("lf\nlf\ncrlf\r\ncr\r\r\n\n"),
        std::string("nbsp\xA0high\xFF\xE9\x80\r\nnul\0nul\0\r\n", 24),
        std::string("\xEF\xBB\xBFutf-8 with a byte order mark \xE2\x80\xA9 and U+2029\n"),
        std::string("\xE2\x90\x8D the sign of a carriage return, as UTF-8\r\n"),
        binary,
    };
    for (const std::string& bytes : cases) {
        const auto path = Write("in.bin", bytes);
        ASSERT_EQ(doc_.Open(path), CLombex32Doc::LoadResult::Ok);
        ASSERT_TRUE(doc_.Save(dir_ / "out.bin"));
        EXPECT_EQ(ReadFile(dir_ / "out.bin"), bytes);
    }
}

TEST_F(DocumentTest, AnEditChangesOnlyTheBytesItTouched) {
    std::string binary(3000, '\0');
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>((i * 7919) % 251);  // every byte value, CR and LF too
    }
    const auto path = Write("in.bin", binary);
    ASSERT_EQ(doc_.Open(path), CLombex32Doc::LoadResult::Ok);
    view_.show();
    QTextCursor cursor(view_.document());
    cursor.setPosition(100);
    view_.setTextCursor(cursor);
    QTest::keyClicks(&view_, "Z");
    ASSERT_TRUE(doc_.Save(dir_ / "out.bin"));
    // The file comes back with one byte more, the Z, and every other byte where it was.
    const std::string saved = ReadFile(dir_ / "out.bin");
    ASSERT_EQ(saved.size(), binary.size() + 1);
    const size_t at = static_cast<size_t>(
        std::mismatch(binary.begin(), binary.end(), saved.begin()).first - binary.begin());
    EXPECT_GE(at, 100u);
    EXPECT_EQ(saved[at], 'Z');
    EXPECT_EQ(saved.substr(0, at) + saved.substr(at + 1), binary);

    // A new line takes the document's most common line end; a lone carriage return stays.
    Write("mixed.txt", "one\rtwo\nthree\nfour");
    ASSERT_EQ(doc_.Open(dir_ / "mixed.txt"), CLombex32Doc::LoadResult::Ok);
    view_.moveCursor(QTextCursor::End);
    QTest::keyClick(&view_, Qt::Key_Return);
    QTest::keyClicks(&view_, "five");
    ASSERT_TRUE(doc_.Save(dir_ / "mixed.txt"));
    EXPECT_EQ(ReadFile(dir_ / "mixed.txt"), "one\rtwo\nthree\nfour\nfive");
}

TEST_F(DocumentTest, ANewDocumentIsSavedWithCarriageReturnsAndAFailedSaveKeepsItsName) {
    view_.setPlainText("0001 0000 41 \nline");
    ASSERT_TRUE(doc_.Save(dir_ / "capture.txt"));
    EXPECT_EQ(ReadFile(dir_ / "capture.txt"), "0001 0000 41 \r\nline");
    view_.insertPlainText("changed");
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_FALSE(doc_.Save(dir_ / "no-such-folder" / "x.txt"));
    EXPECT_EQ(doc_.Path(), dir_ / "capture.txt");
    EXPECT_TRUE(doc_.IsModified());
}

TEST_F(DocumentTest, AFileBeyondTheTextLimitIsRefusedWholeAndAMissingOneCannotBeRead) {
    view_.setPlainText("kept");
    const auto big = Write("big.txt", std::string(CLombex32View::kTextLimit + 1, 'x'));
    EXPECT_EQ(doc_.Open(big), CLombex32Doc::LoadResult::TooLarge);
    EXPECT_EQ(view_.toPlainText(), "kept");
    EXPECT_EQ(doc_.Open(dir_ / "none.txt"), CLombex32Doc::LoadResult::CannotRead);
    const auto fits = Write("fits.txt", std::string(CLombex32View::kTextLimit, 'x'));
    EXPECT_EQ(doc_.Open(fits), CLombex32Doc::LoadResult::Ok);
    EXPECT_EQ(view_.TextLength(), CLombex32View::kTextLimit);
}

TEST_F(DocumentTest, TypingAndPastingStopAtTheTextLimit) {
    view_.setPlainText(QString(CLombex32View::kTextLimit - 2, QLatin1Char('a')));
    QSignalSpy limit(&view_, &CLombex32View::textLimitReached);
    view_.moveCursor(QTextCursor::End);
    QTest::keyClicks(&view_, "xyz");
    EXPECT_EQ(view_.TextLength(), CLombex32View::kTextLimit);
    EXPECT_TRUE(view_.toPlainText().endsWith("axy"));
    EXPECT_EQ(limit.count(), 1);
    // Deleting makes room again.
    QTest::keyClick(&view_, Qt::Key_Backspace);
    QTest::keyClicks(&view_, "q");
    EXPECT_TRUE(view_.toPlainText().endsWith("axq"));
}

TEST_F(DocumentTest, TheFrameKeysPassTheViewToTheMainWindow) {
    view_.SetFrameShortcuts({QKeySequence(Qt::CTRL | Qt::Key_A)});
    QKeyEvent ctrlA(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier);
    QKeyEvent ctrlC(QEvent::ShortcutOverride, Qt::Key_C, Qt::ControlModifier);
    view_.setPlainText("text");
    view_.selectAll();
    QApplication::sendEvent(&view_, &ctrlA);
    QApplication::sendEvent(&view_, &ctrlC);
    EXPECT_FALSE(ctrlA.isAccepted());  // Ctrl+A is the ASCII format command
    EXPECT_TRUE(ctrlC.isAccepted());   // Ctrl+C stays the view's copy
}

TEST_F(DocumentTest, TheFeedAppendsEveryFrameInOneBatchPerTick) {
    CaptureFeed feed(view_, 10);
    feed.SetText("0001 0000 41 42 \r\n");
    feed.SetText("SENT 0000 43 \r\n");
    EXPECT_EQ(view_.toPlainText(), "");  // nothing until the tick
    EXPECT_TRUE(QTest::qWaitFor([&] { return feed.Waiting() == 0; }, 5000));
    EXPECT_EQ(view_.toPlainText(), "0001 0000 41 42 \nSENT 0000 43 \n");
    EXPECT_FALSE(view_.document()->isModified());
}

TEST_F(DocumentTest, TheFeedKeepsTheNewestWholeLinesWithinTheTextLimit) {
    CaptureFeed feed(view_, 1000000);
    const std::string line = "0001 0000 " + std::string(89, 'x') + "\r\n";  // 100 characters
    const int lines = CLombex32View::kTextLimit / 100 * 2;  // two windows full
    for (int i = 0; i < lines; ++i) {
        std::string numbered = line;
        std::snprintf(numbered.data(), 5, "%04X", i & 0xFFFF);
        numbered[4] = ' ';
        feed.SetText(numbered);
        if (i % 4000 == 0) {
            feed.Flush();
        }
    }
    feed.Flush();
    // Nothing of what was dropped is kept for an undo.
    EXPECT_EQ(view_.document()->availableUndoSteps(), 0);
    EXPECT_LE(view_.TextLength(), CLombex32View::kTextLimit);
    EXPECT_GT(view_.TextLength(), CLombex32View::kTextLimit - 200);
    const QString text = view_.toPlainText();
    // Whole lines only, and the last one is the last frame's.
    EXPECT_EQ(text.size() % 100, 0);
    char last[5];
    std::snprintf(last, sizeof last, "%04X", (lines - 1) & 0xFFFF);
    EXPECT_TRUE(text.endsWith(QString(last) + " 0000 " + QString(89, QLatin1Char('x')) + "\n"));
}

TEST_F(DocumentTest, AFeedWhoseViewWentAwayDropsItsText) {
    auto* view = new CLombex32View(settings_);
    auto* feed = new CaptureFeed(*view, 10);
    QPointer<CaptureFeed> alive(feed);
    delete view;  // the feed belongs to its view
    EXPECT_TRUE(alive.isNull());
}

}  // namespace
}  // namespace qorval::analyser::testing
