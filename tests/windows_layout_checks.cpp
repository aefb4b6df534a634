// Layouts of Windows records as the 32-bit deliverables pass them to the
// system, checked when the Windows build compiles.
#include <windows.h>
#include <commdlg.h>

#include <cstddef>

// OPENFILENAMEA without the fields that Windows 2000 added
// (OPENFILENAME_SIZE_VERSION_400A): the record ends with lpTemplateName.
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "OPENFILENAMEA up to lpTemplateName is 76 bytes");
// The full record, with pvReserved, dwReserved and FlagsEx.
static_assert(sizeof(OPENFILENAMEA) == 88, "OPENFILENAMEA is 88 bytes");
static_assert(sizeof(void*) == 4, "the deliverables are 32-bit");
