#include "applet/tests/window/sheet_fixture.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <sstream>

#include "applet/window/config_page.h"

namespace qorval::applet::testing {

void SheetTest::Open(const ConfigModel& model, StoreKind kind, bool real_boxes) {
    ASSERT_EQ(StoreConfig(model, kind, paths), "");
    sheet = std::make_unique<window::CConfigSheet>(nullptr, kind, paths,
                                                   real_boxes ? nullptr : &user);
    sheet->show();
    QApplication::processEvents();  // the first page's activation
    QApplication::processEvents();
}

std::string SheetTest::RegistryBytes() const {
    std::ifstream file(paths.registry_file, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

QWidget* SheetTest::Find(const char* name, int page) const {
    return sheet->Page(page)->findChild<QWidget*>(name);
}

QComboBox* SheetTest::List(const char* name, int page) const {
    auto* list = sheet->Page(page)->findChild<QComboBox*>(name);
    EXPECT_NE(list, nullptr) << name;
    return list;
}

QLineEdit* SheetTest::Edit(const char* name, int page) const {
    auto* edit = sheet->Page(page)->findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
}

QTreeWidget* SheetTest::Tree(int page) const {
    return sheet->Page(page)->findChild<QTreeWidget*>("configTree");
}

void SheetTest::ShowPage(int page) {
    sheet->Tabs()->setCurrentIndex(page);
    QApplication::processEvents();
}

void SheetTest::ChoosePort(int page, int driver, int card, int port) {
    QTreeWidget* tree = Tree(page);
    tree->setCurrentItem(tree->topLevelItem(driver)->child(card)->child(port));
}

void SheetTest::Choose(QComboBox* list, const char* text) {
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text;
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void SheetTest::TypeAndLeave(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    emit edit->editingFinished();
}

}  // namespace qorval::applet::testing
