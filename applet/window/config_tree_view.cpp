#include "applet/window/config_tree_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

namespace {

constexpr QSize kImageSize{19, 16};

QPixmap DrawImage(int image) {
    QPixmap pixmap(kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter paint(&pixmap);
    paint.setPen(Qt::black);
    switch (image) {
        case kImageDriver:  // a disk of software: a box with a label
            paint.setBrush(QColor(0, 0, 160));
            paint.drawRect(2, 1, 14, 13);
            paint.setBrush(Qt::white);
            paint.drawRect(5, 2, 8, 5);
            break;
        case kImageCard:  // an adapter card with its edge connector
            paint.setBrush(QColor(0, 128, 0));
            paint.drawRect(1, 2, 16, 9);
            paint.setBrush(QColor(200, 160, 0));
            for (int x = 3; x < 16; x += 3) {
                paint.drawRect(x, 11, 1, 3);
            }
            break;
        default:  // a port: a connector shell with pins
            paint.setBrush(QColor(128, 128, 128));
            paint.drawRect(3, 4, 12, 7);
            paint.setBrush(Qt::black);
            for (int x = 5; x < 14; x += 3) {
                paint.drawEllipse(x, 6, 2, 2);
            }
            break;
    }
    return pixmap;
}

}  // namespace

QIcon TreeImage(int image) {
    return QIcon(DrawImage(image));
}

ConfigTreeView::ConfigTreeView(ConfigModel& model, QWidget* parent)
    : QTreeWidget(parent), model_(model) {
    setObjectName("configTree");
    setHeaderHidden(true);
    setIndentation(30);
    setIconSize(kImageSize);
    connect(this, &QTreeWidget::currentItemChanged, this, &ConfigTreeView::OnCurrentItemChanged);
}

void ConfigTreeView::Rebuild() {
    const QSignalBlocker quiet(this);
    clear();
    roots_ = BuildConfigTree(model_);
    if (roots_.empty()) {
        addTopLevelItem(new QTreeWidgetItem(QStringList(kNoDriversLabel)));
        setEnabled(false);
        model_.selection_level = kSelectNothing;
        return;
    }
    setEnabled(true);
    const auto add = [](auto& self, const TreeNode& node) -> QTreeWidgetItem* {
        auto* item = new QTreeWidgetItem(QStringList(ui::ToQString(node.label)));
        item->setIcon(0, TreeImage(node.image));
        item->setData(0, Qt::UserRole, node.data);
        for (const TreeNode& child : node.children) {
            item->addChild(self(self, child));
        }
        return item;
    };
    for (const TreeNode& root : roots_) {
        addTopLevelItem(add(add, root));
    }
    expandAll();
    const std::vector<int> path = SelectTreeItemOfSelection(model_, roots_);
    if (path.size() == 3) {
        setCurrentItem(topLevelItem(path[0])->child(path[1])->child(path[2]));
    }
}

std::vector<int> ConfigTreeView::PathOf(QTreeWidgetItem* item) const {
    std::vector<int> path;
    for (; item != nullptr; item = item->parent()) {
        path.insert(path.begin(), item->parent() != nullptr
                                      ? item->parent()->indexOfChild(item)
                                      : indexOfTopLevelItem(item));
    }
    return path;
}

void ConfigTreeView::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    // The selection the builder sets on a freshly filled tree changes nothing.
    if (current == nullptr || previous == nullptr || roots_.empty()) {
        return;
    }
    ApplyTreeChoice(model_, roots_, PathOf(current));
    emit selectionChosen();
}

}  // namespace qorval::applet::window
