#ifndef TALLY_RESOURCE_H
#define TALLY_RESOURCE_H

// Resource numbers of the tally tool, a tool that only the tests build: the
// shared ones, then the controls of its panel (dialog template IDD_PANEL).
#include "shell_resource.h"

#define IDC_TALLY_X 1202      // radio button "X"
#define IDC_TALLY_Y 1203      // radio button "Y"
#define IDC_TALLY_Z 1204      // radio button "Z"
#define IDC_WRITE_TALLY 1299  // custom push button "Write Tally", a save dialog

#endif
