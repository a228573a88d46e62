// CConfigSheet: the modal property sheet "Qorval Drivers Configuration" with its seven pages.
// It owns the configuration model from its opening to OK or Cancel; OK runs the checks, then
// the store, then the log; Cancel discards every edit.
#pragma once

#include <QDialog>
#include <array>

#include "applet/config_model.h"
#include "applet/config_store.h"
#include "platform/window/qt_user_messages.h"

class QTabWidget;

namespace qorval::applet::window {

class ConfigPage;
class CSystemResourcesPage;

class CConfigSheet : public QDialog {
    Q_OBJECT
  public:
    // Loads the model from `store`. Boxes are message boxes over the sheet unless `messages` is
    // given.
    CConfigSheet(QWidget* parent, StoreKind store, StorePaths paths,
                 ui::UserMessages* messages = nullptr);

    ConfigModel& Model() { return model_; }
    ui::UserMessages& User() { return *messages_; }
    const StorePaths& Paths() const { return store_.Paths(); }

    QTabWidget* Tabs() { return tabs_; }
    ConfigPage* Page(int index) { return pages_.at(static_cast<size_t>(index)); }
    // The help context number of the page showing.
    int CurrentHelpContext() const;

    void accept() override;

  signals:
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowHelp();
    // Brings page `index` to front and activates it, also when it is showing already.
    void ShowPage(int index);

    ConfigModel model_;
    ConfigStore store_;
    ui::QtUserMessages user_;
    ui::UserMessages* messages_;
    QTabWidget* tabs_;
    std::array<ConfigPage*, 7> pages_{};
    CSystemResourcesPage* system_resources_ = nullptr;
    bool activated_ = false;
};

}  // namespace qorval::applet::window
