#include "platform/window/qt_user_messages.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>
#include <QWidget>

#include "platform/file_filter.h"

namespace qorval::ui {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// A box closed without a button (Escape, the window's close button) answers as its Cancel or
// No button would.
MessageAnswer FromQtAnswer(int pressed, MessageButtons buttons) {
    switch (pressed) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

QStringList ToNameFilters(std::string_view filter) {
    QStringList filters;
    for (const FileFilterEntry& entry : ParseFileFilter(filter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.patterns) {
            patterns << ToQString(pattern);
        }
        // With HideNameFilterDetails the dialog shows only what precedes the last brackets.
        filters << ToQString(entry.label) + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QtUserMessages::QtUserMessages(QWidget* parent, QStatusBar* statusBar)
    : parent_(parent), statusBar_(statusBar) {}

void QtUserMessages::SetStatusBar(QStatusBar* statusBar) {
    statusBar_ = statusBar;
}

MessageAnswer QtUserMessages::ShowMessage(const Message& message) {
    QMessageBox box(ToQtIcon(message.icon), ToQString(message.caption), ToQString(message.text),
                    ToQtButtons(message.buttons), parent_);
    box.setObjectName("messageBox");
    if (message.defaultAnswer) {
        switch (*message.defaultAnswer) {
            case MessageAnswer::Ok: box.setDefaultButton(QMessageBox::Ok); break;
            case MessageAnswer::Cancel: box.setDefaultButton(QMessageBox::Cancel); break;
            case MessageAnswer::Yes: box.setDefaultButton(QMessageBox::Yes); break;
            case MessageAnswer::No: box.setDefaultButton(QMessageBox::No); break;
        }
    }
    return FromQtAnswer(box.exec(), message.buttons);
}

void QtUserMessages::ShowStatus(std::string_view text) {
    if (statusBar_) {
        statusBar_->showMessage(ToQString(text));
    }
}

std::optional<std::string> QtUserMessages::ChooseFile(const FileChoice& choice) {
    QFileDialog dialog(parent_, ToQString(choice.caption), ToQString(choice.initialPath));
    dialog.setObjectName("fileDialog");
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    switch (choice.mode) {
        case FileChoiceMode::Open:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(choice.mustExist ? QFileDialog::ExistingFile
                                                : QFileDialog::AnyFile);
            break;
        case FileChoiceMode::Save:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            break;
        case FileChoiceMode::Directory:
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            break;
    }
    const QStringList filters = ToNameFilters(choice.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    if (!choice.defaultExtension.empty()) {
        dialog.setDefaultSuffix(ToQString(choice.defaultExtension));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return FromQString(dialog.selectedFiles().front());
}

}  // namespace qorval::ui
