#pragma once

namespace driver {

// What --help says of the system that the program runs on: how view's
// --open starts the browser, and the environment the program reads
// (platform_text_posix.cpp, platform_text_win32.cpp).
extern const char* const kOpenHelp;
extern const char* const kEnvironmentHelp;  // its lines, each ending in "\n"

}  // namespace driver
