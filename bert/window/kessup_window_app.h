#pragma once
// kessup without arguments: the application and its window. Declared without Qt so that the
// command line's main can call it.

namespace qorval::bert::window {

// Runs the window until it closes; the process exit code.
int RunKessupWindow(int argc, char** argv);

}  // namespace qorval::bert::window
