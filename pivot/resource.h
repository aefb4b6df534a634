#ifndef TARVEL_RESOURCE_H
#define TARVEL_RESOURCE_H

// Resource numbers of the pivot tool: the shared ones, then the controls of
// its panel (dialog template IDD_PANEL). Included by tarvel.rc and the code.
#include "shell_resource.h"

#define IDC_AXIS_X 1002  // radio button "X"
#define IDC_AXIS_Y 1003  // radio button "Y"
#define IDC_AXIS_Z 1004  // radio button "Z"
#define IDC_PICK 1099    // custom check button "Pick"
#define IDC_ALIGN 1100   // custom push button "Align"

#endif
