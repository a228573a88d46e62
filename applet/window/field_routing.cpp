#include "applet/window/field_routing.h"

#include <memory>

#include "applet/window/choice_list.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

namespace {

void Settle(ConfigPage* page, FieldResult result, bool rebuilds_tree) {
    if (result == FieldResult::KeptText) {
        return;
    }
    if (result == FieldResult::Accepted && rebuilds_tree) {
        page->RebuildTree();
    }
    page->Refresh();
}

}  // namespace

void OnEditFinished(ConfigPage* page, QLineEdit* edit,
                    std::function<FieldResult(const std::string& text)> rule, bool rebuilds_tree) {
    auto busy = std::make_shared<bool>(false);
    QObject::connect(edit, &QLineEdit::editingFinished, page, [=] {
        if (*busy || !edit->isModified()) {
            return;
        }
        *busy = true;
        edit->setModified(false);
        Settle(page, rule(ui::FromQString(edit->text())), rebuilds_tree);
        *busy = false;
    });
}

void OnChoice(ConfigPage* page, QComboBox* list, std::function<FieldResult(int32_t code)> rule,
              bool rebuilds_tree) {
    QObject::connect(list, &QComboBox::activated, page, [=] {
        Settle(page, rule(ChosenCode(list)), rebuilds_tree);
    });
}

}  // namespace qorval::applet::window
