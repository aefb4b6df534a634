#pragma once

#include <string>
#include <vector>

namespace driver {

// The program's arguments after its name: as the system gives them on
// POSIX systems; on Windows read from the command line in UTF-16 and kept
// in UTF-8 (`argv` there is in the ANSI code page, which cannot hold every
// name).
std::vector<std::string> CommandArguments(int argc, char** argv);

}  // namespace driver
