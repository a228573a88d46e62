// Routing of a page field to its rule: a refused value is reverted by refilling the page, an
// accepted one that shows in the tree rebuilds it.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <functional>
#include <string>

#include "applet/field_rules.h"
#include "applet/window/config_page.h"

namespace qorval::applet::window {

// Runs `rule` with the edit's text when the edit loses focus (or Return is pressed) after
// a change; never twice at once, since a refusal's box takes the focus away again.
void OnEditFinished(ConfigPage* page, QLineEdit* edit,
                    std::function<FieldResult(const std::string& text)> rule,
                    bool rebuilds_tree = false);

// Runs `rule` with the code of the item the user chose.
void OnChoice(ConfigPage* page, QComboBox* list, std::function<FieldResult(int32_t code)> rule,
              bool rebuilds_tree = false);

}  // namespace qorval::applet::window
