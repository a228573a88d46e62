// lombex32 started without command-line flags: the main window, with the file named on the
// command line (if any) opened as a document.
#pragma once

namespace qorval::analyser {

// Runs the window until it closes; the program's exit status.
int RunAnalyserWindow(int argc, char** argv);

}  // namespace qorval::analyser
