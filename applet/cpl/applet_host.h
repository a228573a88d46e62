// What a control panel does with an applet library: load it by file name and send it the
// messages of one session (initialise, count, inquire, double click, stop, exit).
#pragma once

#include <ostream>
#include <string>

namespace qorval::applet {

// Loads `library` (a file name: looked for next to the program first, then by the run path)
// and runs one session. Returns the process exit status; reasons go to `err`.
int RunAppletHost(const std::string& library, std::ostream& err);

}  // namespace qorval::applet
