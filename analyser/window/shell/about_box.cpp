#include "analyser/window/shell/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "analyser/window/shell/logo.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {

AboutLines ReadThisMachinesAboutLines() {
    platform::Registry registry(platform::RegistryFile());
    return ReadAboutLines(registry, platform::DriveC());
}

void RunAboutDialog(QWidget* parent, const AboutLines& lines) {
    QDialog dialog(parent);
    dialog.setObjectName("aboutBox");
    dialog.setWindowTitle(QStringLiteral("About Lombex"));
    auto* logo = new QLabel(&dialog);
    logo->setPixmap(PaintLogo(200, 88));
    auto* text = new QVBoxLayout;
    text->addWidget(new QLabel(QString::fromLatin1(kVersionLine), &dialog));
    text->addWidget(new QLabel(QString::fromLatin1(kCopyrightLine), &dialog));
    auto* system = new QFormLayout;
    auto addLine = [&](const char* label, const std::string& value, const char* name) {
        auto* field = new QLabel(ui::ToQString(value), &dialog);
        field->setObjectName(name);
        system->addRow(QString::fromLatin1(label), field);
    };
    addLine("Total Physical Memory:", lines.memory, "memory");
    addLine("Math Co-processor:", lines.coprocessor, "coprocessor");
    addLine("Disk (C:) Space:", lines.disk, "disk");
    text->addLayout(system);
    auto* top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    top->addLayout(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addWidget(buttons);
    dialog.exec();
}

}  // namespace qorval::analyser
