// CAboutDlg: the logo, the version and three lines about this machine: "Total Physical Memory:",
// "Math Co-processor:" and "Disk (C:) Space:".
#pragma once

#include "analyser/shell_info.h"

class QWidget;

namespace qorval::analyser {

void RunAboutDialog(QWidget* parent, const AboutLines& lines);
// The lines of this machine, from the suite's registry and drive c: under its prefix.
AboutLines ReadThisMachinesAboutLines();

}  // namespace qorval::analyser
