// "Jumper Settings": the jumper pictures of every card, in a fixed-pitch font.
#pragma once

#include <QPlainTextEdit>

#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CJumperSettingsPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CJumperSettingsPage(CConfigSheet& sheet);

  protected:
    void Fill() override;
    void ApplyEnables() override {}

  private:
    QPlainTextEdit* text_;
};

}  // namespace qorval::applet::window
