// A property sheet over a configuration stored in a scratch folder, for the window tests.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "applet/config_store.h"
#include "applet/tests/temp_dir.h"
#include "applet/window/config_page.h"
#include "applet/window/config_sheet.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet::testing {

// Page indexes in tab order.
enum PageIndex { kDriverInfo, kSystemResources, kBufferInfo, kCommSettings, kClocking,
                 kAdvanced, kJumpers };

class SheetTest : public ::testing::Test {
  protected:
    // Stores `model` in the scratch registry (or System.ini) and opens a sheet on it whose
    // boxes go to `user` (or to real message boxes when `real_boxes`).
    void Open(const ConfigModel& model, StoreKind kind = StoreKind::Registry,
              bool real_boxes = false);
    std::string RegistryBytes() const;

    QWidget* Find(const char* name, int page) const;
    QComboBox* List(const char* name, int page) const;
    QLineEdit* Edit(const char* name, int page) const;
    QTreeWidget* Tree(int page) const;
    void ShowPage(int page);
    // Clicks the port item `port` of card `card` of driver `driver` in the tree of `page`.
    void ChoosePort(int page, int driver, int card, int port);
    // Chooses `text` in a list as a user would (activated signal).
    void Choose(QComboBox* list, const char* text);
    // Types `text` into an edit and moves the focus away.
    void TypeAndLeave(QLineEdit* edit, const char* text);

    TempDir dir;
    StorePaths paths{dir.path() / "system.reg", dir.path() / "System.ini",
                     dir.path() / "QLConfig.LOG"};
    ui::testing::RecordingUserMessages user{};
    std::unique_ptr<window::CConfigSheet> sheet;
};

}  // namespace qorval::applet::testing
