// The one place where the view, font, page and printing commands are connected to what they
// do (analyser/window/views/). Each command is one line here.
#pragma once

#include "analyser/window/shell/command_actions.h"

namespace qorval::analyser {

class CMainFrame;

void ConnectViewCommands(CMainFrame& frame, const ViewCommandActions& actions);

}  // namespace qorval::analyser
