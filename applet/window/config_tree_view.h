// The driver, card and port tree at the top of every settings page.
#pragma once

#include <QTreeWidget>
#include <vector>

#include "applet/config_model.h"
#include "applet/config_tree.h"

namespace qorval::applet::window {

class ConfigTreeView : public QTreeWidget {
    Q_OBJECT
  public:
    ConfigTreeView(ConfigModel& model, QWidget* parent);

    // Clears and fills the tree from the model and selects the selected port's item.
    void Rebuild();

  signals:
    // The user chose another item; the model's selection has changed.
    void selectionChosen();

  private:
    void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    std::vector<int> PathOf(QTreeWidgetItem* item) const;

    ConfigModel& model_;
    std::vector<TreeNode> roots_;
};

// The sheet's image list: driver, card and port bitmaps of 19 x 16 pixels.
QIcon TreeImage(int image);

}  // namespace qorval::applet::window
