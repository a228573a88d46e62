// "Replay Capture": the capture file, with Browse, and the timing of the frames. OK starts the
// replay on the selected port (the engine's StartReplay, which says why a file cannot be
// used); Cancel does nothing.
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "analyser/analyser_app.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"
#include "platform/user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Replay Capture";
constexpr const char* kFileLabel = "Capture file:";
constexpr const char* kBrowse = "&Browse...";
constexpr const char* kTimingBox = "Timing";
constexpr const char* kOriginal = "&Original spacing of the frames";
constexpr const char* kLine = "As fast as the &line takes them";
constexpr const char* kCaptureFilter = "Capture Files (*.pcapng)|*.pcapng|All Files (*.*)|*.*||";

class CReplayDlg : public QDialog {
  public:
    CReplayDlg(QWidget* parent, ui::UserMessages& messages)
        : QDialog(parent),
          messages_(messages),
          file_(new dialogs::FileNameRow(kBrowse, "captureFile", "browseButton", this)),
          original_(dialogs::MakeControl<QRadioButton>(kOriginal, "originalTiming", this)),
          line_(dialogs::MakeControl<QRadioButton>(kLine, "lineTiming", this)) {
        setWindowTitle(kTitle);
        original_->setChecked(true);
        auto* timing = new QGroupBox(kTimingBox, this);
        auto* choices = new QVBoxLayout(timing);
        choices->addWidget(original_);
        choices->addWidget(line_);
        auto* form = new QFormLayout;
        form->addRow(kFileLabel, file_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(timing);
        auto* buttons = dialogs::MakeOkCancelButtons(*this);
        layout->addWidget(buttons);
        ok_ = buttons->button(QDialogButtonBox::Ok);
        ok_->setEnabled(false);

        connect(&file_->BrowseButton(), &QPushButton::clicked, this, [this] {
            ui::FileChoice choice;
            choice.mode = ui::FileChoiceMode::Open;
            choice.caption = kTitle;
            choice.filter = kCaptureFilter;
            choice.mustExist = true;
            choice.initialPath = file_->FileName();
            if (const auto path = messages_.ChooseFile(choice)) {
                file_->SetFileName(*path);
            }
        });
        // A replay needs a file.
        connect(&file_->Edit(), &QLineEdit::textChanged, this,
                [this] { ok_->setEnabled(!file_->FileName().empty()); });
    }

    std::string FileName() const { return file_->FileName(); }
    ReplayTiming Timing() const {
        return line_->isChecked() ? ReplayTiming::Line : ReplayTiming::Original;
    }

  private:
    ui::UserMessages& messages_;
    dialogs::FileNameRow* file_;
    QRadioButton* original_;
    QRadioButton* line_;
    QPushButton* ok_ = nullptr;
};

}  // namespace

bool RunReplayDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    if (!app.CheckPortSelected()) {
        return false;
    }
    CReplayDlg dialog(parent, messages);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return app.StartReplay(dialog.FileName(), dialog.Timing());
}

}  // namespace qorval::analyser
