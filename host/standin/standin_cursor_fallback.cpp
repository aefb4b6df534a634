// Temporary: the system cursors, until the Windows stand-in provides
// LoadCursorA. The definition is weak, so the Windows stand-in's own
// definition replaces it; drop this file once that has landed.
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
