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

// A path that starts with "/" is a file, not a switch; a switch needs its file.
TEST(PrintFromTheCommandLine, TellsPrintSwitchesFromPaths) {
    EXPECT_TRUE(ParseCommandLine({"-P", "doc1.txt"})->print);
    EXPECT_EQ(ParseCommandLine({"/pt", "doc1.txt", "Office", "driver", "port"})->printer, "Office");
    EXPECT_FALSE(ParseCommandLine({"/home/user/p"})->print);
    EXPECT_FALSE(ParseCommandLine({"/p"}).has_value());
}

}  // namespace
}  // namespace qorval::analyser::testing
