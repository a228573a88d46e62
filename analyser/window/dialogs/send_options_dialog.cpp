// "Set Data Send Options": the macro programme and the send file, each with Browse, and the
// two switches. What it applies on closing follows SendOptionsChoice (a Browse counts as
// accepted); the engine's SetSendOptions stops transmission and parses the macro.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "analyser/send_options_choice.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Set Data Send Options";
constexpr const char* kMacroFileLabel = "Macro Program filename:";
constexpr const char* kMacroBrowse = "&Browse...";
constexpr const char* kExecuteMacro = "&Execute Macro Program";
constexpr const char* kSendFileLabel = "Send data filename:";
constexpr const char* kSendBrowse = "B&rowse...";
constexpr const char* kSendFirst = "&Send first data block";

class CSendOptionsDlg : public QDialog {
  public:
    CSendOptionsDlg(QWidget* parent, const SendOptions& opened, ui::UserMessages& messages)
        : QDialog(parent),
          messages_(messages),
          choice_(opened),
          macroFile_(
              new dialogs::FileNameRow(kMacroBrowse, "macroFileName", "macroBrowseButton", this)),
          executeMacro_(dialogs::MakeControl<QCheckBox>(kExecuteMacro, "executeMacro", this)),
          sendFile_(
              new dialogs::FileNameRow(kSendBrowse, "sendFileName", "sendBrowseButton", this)),
          sendFirst_(dialogs::MakeControl<QCheckBox>(kSendFirst, "sendFirst", this)) {
        setWindowTitle(kTitle);
        macroFile_->SetFileName(opened.macroFile);
        executeMacro_->setChecked(opened.executeMacro);
        sendFile_->SetFileName(opened.sendFile);
        sendFirst_->setChecked(opened.sendFirst);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(kMacroFileLabel, this));
        layout->addWidget(macroFile_);
        layout->addWidget(executeMacro_);
        layout->addSpacing(8);
        layout->addWidget(new QLabel(kSendFileLabel, this));
        layout->addWidget(sendFile_);
        layout->addWidget(sendFirst_);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));

        // Both files are read, so each Browse asks for a file that exists.
        connect(&macroFile_->BrowseButton(), &QPushButton::clicked, this, [this] {
            if (auto path = macroFile_->Browse(messages_, true)) {
                choice_.MacroFileBrowsed(*path);
            }
        });
        connect(&sendFile_->BrowseButton(), &QPushButton::clicked, this, [this] {
            if (auto path = sendFile_->Browse(messages_, true)) {
                choice_.SendFileBrowsed(*path);
            }
        });
    }

    std::optional<SendOptions> Applied(bool ok) const {
        return choice_.OnClose(ok, {macroFile_->FileName(), executeMacro_->isChecked(),
                                    sendFile_->FileName(), sendFirst_->isChecked()});
    }

  private:
    ui::UserMessages& messages_;
    SendOptionsChoice choice_;
    dialogs::FileNameRow* macroFile_;
    QCheckBox* executeMacro_;
    dialogs::FileNameRow* sendFile_;
    QCheckBox* sendFirst_;
};

}  // namespace

void RunSendOptionsDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    CSendOptionsDlg dialog(parent, CurrentSendOptions(app), messages);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (const std::optional<SendOptions> options = dialog.Applied(ok)) {
        app.SetSendOptions(*options);
    }
}

}  // namespace qorval::analyser
