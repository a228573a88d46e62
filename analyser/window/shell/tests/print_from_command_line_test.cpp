// "lombex32 /p FILE" run as a user runs it: the program prints the file on the default printer
// (here, with no print queue, the PDF file it falls back to) and ends without a window.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "analyser/window/shell/command_line.h"
#include "analyser/window/views/tests/views_test_fixture.h"

namespace qorval::analyser::testing {
namespace {

using views::testing::PdfPages;

TEST(PrintFromTheCommandLine, PrintsTheFileThroughTheFallbackPrinterAndEnds) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString home = temp.filePath("home");
    ASSERT_TRUE(QDir().mkpath(home));
    const QString document = temp.filePath("doc1.txt");
    std::ofstream(document.toStdString(), std::ios::binary)
        << "0001 0000 41 42 43\r\nsecond line\r\nthird line\r\n";

    QProcess lombex;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("QORVAL_PREFIX", temp.filePath("prefix"));
    environment.insert("CUPS_SERVER", "127.0.0.1:1");  // no print queue: the PDF fallback
    lombex.setProcessEnvironment(environment);
    lombex.start(QStringLiteral(LOMBEX32_PROGRAM), {"/p", document});
    ASSERT_TRUE(lombex.waitForFinished(120000)) << "lombex32 /p did not end";
    EXPECT_EQ(lombex.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(lombex.exitCode(), 0) << lombex.readAllStandardError().toStdString();

    const auto pages = PdfPages(home + "/lombex32.pdf");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], (std::vector<std::string>{"File: " + document.toStdString(),
                                                  "0001 0000 41 42 43", "second line",
                                                  "third line", "Page: 1"}));
}

TEST(PrintFromTheCommandLine, TakesPrintSwitchesInEitherFormAndOtherwiseAFileToOpen) {
    const auto print = ParseCommandLine({"-P", "doc1.txt"});
    ASSERT_TRUE(print.has_value());
    EXPECT_TRUE(print->print);
    EXPECT_EQ(print->file, "doc1.txt");
    EXPECT_TRUE(print->printer.isEmpty());
    const auto printTo = ParseCommandLine({"/pt", "doc1.txt", "Office", "driver", "port"});
    ASSERT_TRUE(printTo.has_value());
    EXPECT_EQ(printTo->printer, "Office");
    const auto open = ParseCommandLine({"/home/user/p"});
    ASSERT_TRUE(open.has_value());
    EXPECT_FALSE(open->print);
    EXPECT_EQ(open->file, "/home/user/p");
    EXPECT_FALSE(ParseCommandLine({"/p"}).has_value());
    EXPECT_FALSE(ParseCommandLine({"/pt", "doc1.txt"}).has_value());
    EXPECT_TRUE(ParseCommandLine({}).has_value());
}

}  // namespace
}  // namespace qorval::analyser::testing
