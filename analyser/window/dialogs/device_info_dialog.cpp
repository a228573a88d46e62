// "Driver Device Information": the port's information and state, read once as the dialog opens
// (DeviceInfoCommand), each field in its own format; OK closes it.
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cctype>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Driver Device Information";
constexpr int kRowsPerColumn = 14;

// The value's object name from its label: the first word in lower case, the others
// capitalised, the rest dropped ("CRC Errors:" gives "crcErrors", "Base I/O Addr:" "baseIOAddr").
std::string ValueName(std::string_view label) {
    std::string name;
    bool firstWord = true;
    bool wordStart = true;
    for (char c : label) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) == 0) {
            firstWord = name.empty();
            wordStart = true;
            continue;
        }
        name += static_cast<char>(firstWord ? std::tolower(u) : wordStart ? std::toupper(u) : u);
        wordStart = false;
    }
    return name;
}

class CDeviceInfoDlg : public QDialog {
  public:
    CDeviceInfoDlg(QWidget* parent, const std::vector<DeviceInfoField>& fields) : QDialog(parent) {
        setWindowTitle(kTitle);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(12);
        for (size_t i = 0; i < fields.size(); ++i) {
            const int row = static_cast<int>(i) % kRowsPerColumn;
            const int column = static_cast<int>(i) / kRowsPerColumn * 2;
            const std::string name = ValueName(fields[i].label);
            grid->addWidget(new QLabel(ui::ToQString(fields[i].label), this), row, column);
            grid->addWidget(dialogs::MakeValueLabel(fields[i].value, name.c_str(), this), row,
                            column + 1);
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(grid);
        layout->addWidget(buttons);

        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    }
};

}  // namespace

void RunDeviceInfoDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages&) {
    if (!app.CheckPortSelected()) {
        return;
    }
    if (const auto fields = DeviceInfoCommand(app)) {
        CDeviceInfoDlg dialog(parent, *fields);
        dialog.exec();
    }
}

}  // namespace qorval::analyser
