// What the view tests share: a shown view in a window, the program-wide settings it works on,
// the recording message interface, printers that write PDF files, the text of such a file
// read back with pdftotext, and the way to drive a modal dialog from inside its event loop
// (the analyser's dialog tests' own).
#pragma once

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "analyser/settings.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "analyser/window/views/analyser_views.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::analyser::views::testing {

// The dialog tests' way of driving a modal dialog and finding its controls, and the guard
// that closes (and fails on) any window that should not have opened.
using analyser::testing::Find;
using analyser::testing::WhenDialog;
using NoModalGuard = analyser::testing::NoDialogGuard;

// A high-resolution PDF printer on A4 with 15 mm margins writing to `path`.
std::unique_ptr<QPrinter> PdfPrinter(const QString& path);

// The text of each page of a PDF file, as pdftotext lays it out, one entry per page, each
// page's lines without the blanks around them and without empty lines.
std::vector<std::vector<std::string>> PdfPages(const QString& path);

class ViewTest : public ::testing::Test {
  protected:
    ViewTest();
    // The view's text as `count` numbered lines "line 001 ..." joined by line feeds.
    static QString NumberedLines(int count);
    QString TempPath(const char* name) const { return temp_.filePath(name); }

    QTemporaryDir temp_;
    QWidget window_;
    QPlainTextEdit* view_;
    ViewSettings settings_;
    ui::testing::RecordingUserMessages messages_;
};

}  // namespace qorval::analyser::views::testing
