#pragma once

#include "class_desc.h"
#include "win32/win_api.h"

// The host interface version that the libraries are built for.
constexpr unsigned long MORVANE_LIB_VERSION = 0x1B580D00;

// Marks the library's exports. Windows builds list them in exports.def;
// ELF builds give them default visibility and exports.map hides the rest.
#if defined(_WIN32)
#  define LIB_EXPORT
#else
#  define LIB_EXPORT __attribute__((visibility("default")))
#endif

// The four functions through which the host discovers a plug-in library.
// They are the only names a library exports, undecorated.
extern "C" {
// The library's description (resource string 1), or null.
LIB_EXPORT const char* LibDescription();
// The number of classes in the library: 1.
LIB_EXPORT int LibNumberClasses();
// The class descriptor for index 0; null for every other index.
LIB_EXPORT ClassDesc* LibClassDesc(int i);
// The host interface version the library was built for.
LIB_EXPORT unsigned long LibVersion();
}

// Signatures of the exports, for hosts that look them up.
using LibDescriptionFn = const char* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = unsigned long (*)();
