// Drop-down lists of the property pages: each item is a text with the stored code behind it.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <cstdint>
#include <string_view>

#include "applet/page_choices.h"

namespace qorval::applet::window {

// A non-editable list of `choices` named `name` (for tests and the focus of the OK checks).
QComboBox* MakeChoiceList(QWidget* parent, const char* name, Choices choices);

// Shows the item of `code`; a code the list does not hold shows `missing` (or nothing) with no
// item chosen.
void ShowCode(QComboBox* list, int32_t code, std::string_view missing = {});
// Shows the item with `text`, or the text alone when the list does not hold it.
void ShowText(QComboBox* list, std::string_view text);

int32_t ChosenCode(const QComboBox* list);

// "%d", or empty for `empty_value`.
void ShowNumber(QLineEdit* edit, int32_t value, int32_t empty_value = -1);
// "%X", or empty for -1.
void ShowHex(QLineEdit* edit, int32_t value);

}  // namespace qorval::applet::window
