#pragma once

#include "win32/win_api.h"

// The library's module state: its instance handle, set by the library entry
// on every call, and null before the first call.
HINSTANCE ModuleHandle();
void SetModuleHandle(HINSTANCE module);

// Resource string `id` of this library, or null when the module handle is
// not yet known or the string is absent. The text lives in one static
// buffer of 256 characters that the next call overwrites: a caller that
// needs two strings at once copies the first.
const char* GetString(int id);
