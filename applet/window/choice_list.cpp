#include "applet/window/choice_list.h"

#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

QComboBox* MakeChoiceList(QWidget* parent, const char* name, Choices choices) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (const Choice& choice : choices) {
        list->addItem(QString::fromUtf8(choice.text), choice.code);
    }
    return list;
}

void ShowCode(QComboBox* list, int32_t code, std::string_view missing) {
    const QSignalBlocker quiet(list);
    const int index = list->findData(code);
    list->setPlaceholderText(index < 0 ? ui::ToQString(missing) : QString());
    list->setCurrentIndex(index);
}

void ShowText(QComboBox* list, std::string_view text) {
    const QSignalBlocker quiet(list);
    const int index = list->findText(ui::ToQString(text));
    list->setPlaceholderText(index < 0 ? ui::ToQString(text) : QString());
    list->setCurrentIndex(index);
}

int32_t ChosenCode(const QComboBox* list) {
    return list->currentIndex() < 0 ? -1 : list->currentData().toInt();
}

void ShowNumber(QLineEdit* edit, int32_t value, int32_t empty_value) {
    edit->setText(value == empty_value ? QString() : QString::number(value));
    edit->setModified(false);
}

void ShowHex(QLineEdit* edit, int32_t value) {
    edit->setText(value == -1 ? QString()
                              : QString::number(static_cast<uint32_t>(value), 16).toUpper());
    edit->setModified(false);
}

}  // namespace qorval::applet::window
