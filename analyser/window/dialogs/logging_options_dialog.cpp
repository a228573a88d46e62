// "Logging Options": the log file's name, with Browse, and raw logging. OK stores both and
// turns logging off (the engine's SetLoggingOptions); Cancel changes nothing.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "analyser/analyser_app.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Logging Options";
constexpr const char* kFileLabel = "Log filename:";
constexpr const char* kBrowse = "&Browse...";
constexpr const char* kRawLogging = "Log raw data instead of Formatted text.";

class CLoggingOptionsDlg : public QDialog {
  public:
    CLoggingOptionsDlg(QWidget* parent, const ParmsSettings& parms, ui::UserMessages& messages)
        : QDialog(parent),
          messages_(messages),
          file_(new dialogs::FileNameRow(kBrowse, "logFileName", "browseButton", this)),
          raw_(dialogs::MakeControl<QCheckBox>(kRawLogging, "rawLogging", this)) {
        setWindowTitle(kTitle);
        file_->SetFileName(parms.logFile);
        raw_->setChecked(parms.rawLogging);
        auto* form = new QFormLayout;
        form->addRow(kFileLabel, file_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(raw_);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));

        // A log may be a file not made yet: logging creates it.
        connect(&file_->BrowseButton(), &QPushButton::clicked, this,
                [this] { file_->Browse(messages_, false); });
    }

    std::string FileName() const { return file_->FileName(); }
    bool RawLogging() const { return raw_->isChecked(); }

  private:
    ui::UserMessages& messages_;
    dialogs::FileNameRow* file_;
    QCheckBox* raw_;
};

}  // namespace

void RunLoggingOptionsDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    CLoggingOptionsDlg dialog(parent, app.Parms(), messages);
    if (dialog.exec() == QDialog::Accepted) {
        app.SetLoggingOptions(dialog.FileName(), dialog.RawLogging());
    }
}

}  // namespace qorval::analyser
