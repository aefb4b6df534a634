#pragma once

// Resource numbers that every deliverable's resources share with the shell.
// Included by the .rc files and by the code.
#define IDD_PANEL 101         // dialog template of the panel page
#define IDS_LIBDESCRIPTION 1  // library description
#define IDS_CATEGORY 2        // category of the utility
#define IDS_CLASS_NAME 3      // class name shown to the user
#define IDS_PARAMS 4          // title of the panel page
