#pragma once
// vintor started without arguments: the window.

namespace qorval::terminal::window {

// Makes the application, shows the window (saying how to start the driver host when none runs)
// and runs until the window closes; the program's exit status.
int RunVintorWindow(int argc, char** argv);

}  // namespace qorval::terminal::window
