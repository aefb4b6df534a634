#ifndef VELKORA_RESOURCE_H
#define VELKORA_RESOURCE_H

// Resource numbers of the names tool: the shared ones, then the controls of
// its panel (dialog template IDD_PANEL). Included by velkora.rc and the code.
#include "shell_resource.h"

#define IDC_SAVE_NAMES 1099  // custom push button "Save Names To File"
#define IDC_LOAD_NAMES 1100  // custom push button "Load Names Form File"

#endif
