#include "applet/window/config_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "applet/window/config_sheet.h"

namespace qorval::applet::window {

ConfigPage::ConfigPage(CConfigSheet& sheet, const char* name, int help_context, bool with_tree)
    : QWidget(nullptr), sheet_(sheet), help_context_(help_context), form_(new QGridLayout) {
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    if (with_tree) {
        tree_ = new ConfigTreeView(sheet.Model(), this);
        tree_->setMinimumHeight(150);
        layout->addWidget(tree_, 1);
        connect(tree_, &ConfigTreeView::selectionChosen, this, &ConfigPage::Refresh);
    }
    layout->addLayout(form_);
}

void ConfigPage::Activate() {
    RebuildTree();
    Refresh();
    if (tree_ != nullptr) {
        tree_->setFocus();
    }
}

void ConfigPage::Refresh() {
    Fill();
    ApplyEnables();
}

void ConfigPage::RebuildTree() {
    if (tree_ != nullptr) {
        tree_->Rebuild();
    }
}

ConfigModel& ConfigPage::Model() {
    return sheet_.Model();
}

ui::UserMessages& ConfigPage::User() {
    return sheet_.User();
}

bool ConfigPage::HasPort() const {
    const ConfigModel& model = sheet_.Model();
    return model.driver_count > 0 && model.selected_driver < model.driver_count &&
           model.selected_port >= 0 && model.selected_port < kMaxPortsPerDriver;
}

void ConfigPage::AddRow(const char* label, QWidget* control, int column) {
    auto* text = new QLabel(QString::fromUtf8(label), this);
    text->setBuddy(control);
    const int row = rows_[column]++;
    form_->addWidget(text, row, column * 2);
    form_->addWidget(control, row, column * 2 + 1);
}

}  // namespace qorval::applet::window
