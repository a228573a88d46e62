#include "applet/window/config_sheet.h"

#include <QApplication>
#include <algorithm>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "applet/cpl_protocol.h"
#include "applet/text_util.h"
#include "applet/window/advanced_page.h"
#include "applet/window/buffer_info_page.h"
#include "applet/window/clocking_options_page.h"
#include "applet/window/comm_settings_page.h"
#include "applet/window/driver_info_page.h"
#include "applet/window/jumper_settings_page.h"
#include "applet/window/system_resources_page.h"

namespace qorval::applet::window {

namespace {

int PageIndex(SheetPage page) {
    switch (page) {
        case SheetPage::Current: return -1;
        case SheetPage::DriverInfo: return 0;
        case SheetPage::SystemResources: return 1;
        case SheetPage::BufferInfo: return 2;
        case SheetPage::CommSettings: return 3;
        case SheetPage::ClockingOptions: return 4;
        case SheetPage::Advanced: return 5;
        case SheetPage::JumperSettings: return 6;
    }
    return -1;
}

}  // namespace

CConfigSheet::CConfigSheet(QWidget* parent, StoreKind store, StorePaths paths,
                           ui::UserMessages* messages)
    : QDialog(parent), store_(store, std::move(paths)), user_(this),
      messages_(messages != nullptr ? messages : &user_), tabs_(new QTabWidget(this)) {
    setObjectName("configSheet");
    setWindowTitle(kSheetCaption);
    setModal(true);
    const std::string problem = store_.Load(model_);
    system_resources_ = new CSystemResourcesPage(*this);
    pages_ = {new CDriverInfoPage(*this), system_resources_, new CBufferInfoPage(*this),
              new CCommSettingsPage(*this), new CClockingOptionsPage(*this),
              new CAdvancedPage(*this), new CJumperSettingsPage(*this)};
    for (ConfigPage* page : pages_) {
        tabs_->addTab(page, page->windowTitle());
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (activated_ && index >= 0) {
            Page(index)->Activate();
        }
    });

    // The sheet has no Apply button.
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                             this);
    buttons->setObjectName("sheetButtons");
    connect(buttons, &QDialogButtonBox::accepted, this, &CConfigSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CConfigSheet::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CConfigSheet::ShowHelp);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    // Every tab stays in view: the tab bar takes the width of all its tabs rather than hiding
    // some behind scroll arrows, and the sheet opens at least that wide.
    tabs_->setUsesScrollButtons(false);
    resize(std::max(700, sizeHint().width()), 560);

    if (!problem.empty()) {
        // Told once the sheet is up, so the box has a window to stand over.
        QTimer::singleShot(0, this, [this, problem] {
            ShowError(*messages_, ConfigUnreadableText(problem), "Error");
        });
    }
}

int CConfigSheet::CurrentHelpContext() const {
    return pages_.at(static_cast<size_t>(tabs_->currentIndex()))->HelpContext();
}

void CConfigSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        // Activated from the event loop, so a warning the page shows stands over the sheet.
        QTimer::singleShot(0, this, [this] { Page(tabs_->currentIndex())->Activate(); });
    }
}

void CConfigSheet::ShowHelp() {
    const int context = CurrentHelpContext();
    emit helpRequested(context);
    // No help file comes with the tool on this system; the page's topic number is what the
    // help file would be asked for, and the documentation describes every page.
    ShowInformation(*messages_,
                    Format("No help file is installed for the Qorval drivers.\n\n"
                           "This page is help topic %d; docs/configuration-tool.md describes "
                           "every page and field.",
                           context),
                    "Help");
}

void CConfigSheet::ShowPage(int index) {
    if (tabs_->currentIndex() == index) {
        Page(index)->Activate();
    } else {
        tabs_->setCurrentIndex(index);
    }
}

void CConfigSheet::accept() {
    // The field being typed in loses its focus first, so its rule runs on the typed text.
    if (QWidget* focused = QApplication::focusWidget(); focused != nullptr && isAncestorOf(focused)) {
        focused->clearFocus();
    }
    tabs_->setCurrentIndex(0);
    const CheckResult result = CommitConfig(model_, store_, *messages_);
    if (result.proceed) {
        QDialog::accept();
        return;
    }
    if (result.reloaded) {
        Page(tabs_->currentIndex())->Activate();  // the model was read again: show it afresh
        return;
    }
    if (const int index = PageIndex(result.page); index >= 0) {
        ShowPage(index);
        if (index == PageIndex(SheetPage::SystemResources)) {
            system_resources_->FocusField(result.field);
        }
    } else {
        Page(tabs_->currentIndex())->Activate();
    }
}

}  // namespace qorval::applet::window
