// What every property page shares: the tree at its top (all pages but Jumper Settings), the
// form of labelled controls below it, and the way the page is refilled from the model.
#pragma once

#include <QGridLayout>
#include <QWidget>

#include "applet/config_model.h"
#include "applet/window/config_tree_view.h"
#include "platform/user_messages.h"

namespace qorval::applet::window {

class CConfigSheet;

class ConfigPage : public QWidget {
    Q_OBJECT
  public:
    ConfigPage(CConfigSheet& sheet, const char* name, int help_context, bool with_tree);

    int HelpContext() const { return help_context_; }

    // Page activation: rebuild the tree, fill the fields, apply the enable rules, focus the tree.
    virtual void Activate();
    // Shows the model's values again (the revert of a refused value) and the enable rules.
    void Refresh();
    void RebuildTree();

  protected:
    virtual void Fill() = 0;
    virtual void ApplyEnables() = 0;

    ConfigModel& Model();
    ui::UserMessages& User();
    CConfigSheet& Sheet() { return sheet_; }
    // True when a port is selected, so its fields can be shown.
    bool HasPort() const;

    // Adds a labelled control in the next row of column pair `column` (0 or 1).
    void AddRow(const char* label, QWidget* control, int column = 0);
    QGridLayout* Form() { return form_; }

  private:
    CConfigSheet& sheet_;
    int help_context_;
    ConfigTreeView* tree_ = nullptr;
    QGridLayout* form_;
    int rows_[2] = {0, 0};
};

}  // namespace qorval::applet::window
