#pragma once

// Marks functions and classes that the host's libraries export to plug-ins.
// The stand-in host is built as a shared library of its own, so the plug-ins
// import these exactly as they would import them from the real host.
#if defined(_WIN32)
#  if defined(MORVANE_HOST_BUILD)
#    define HOST_API __declspec(dllexport)
#  else
#    define HOST_API __declspec(dllimport)
#  endif
#else
#  define HOST_API __attribute__((visibility("default")))
#endif
