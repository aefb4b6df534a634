#pragma once

// The Windows user-interface calls that the tools and the stand-in host make.
// Windows builds use the real API; other builds use the small stand-in in
// this folder, which implements the same names over compiled resources.
#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#  include <commctrl.h>
#  include <commdlg.h>
#else
#  include "win32/windows_standin.h"
#endif
