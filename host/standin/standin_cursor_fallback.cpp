// The system cursors, for builds whose Windows stand-in does not provide
// LoadCursorA yet (the build leaves this file out once it does). The
// definition is weak, so a definition of the Windows stand-in wins.
#include "win32/win_api.h"

#if !defined(_WIN32)

namespace {
// One distinct address per system cursor number; never dereferenced.
char g_systemCursors[64];
constexpr unsigned kFirstSystemCursor = 32512;
}  // namespace

extern "C" __attribute__((weak)) HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    if (module != nullptr || !IS_INTRESOURCE(name)) {
        return nullptr;
    }
    const auto id = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(name));
    if (id < kFirstSystemCursor || id >= kFirstSystemCursor + sizeof g_systemCursors) {
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(&g_systemCursors[id - kFirstSystemCursor]);
}

#endif
