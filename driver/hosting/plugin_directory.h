#pragma once

#include <string>

namespace driver {

// The folder of the plug-ins and of the stand-in host's libraries: beside
// the running program in a build folder (and in the Windows archive); in an
// installation, the plug-in folder of the install tree seen from the
// program's folder (lib/morvane beside bin).
std::string PluginDirectory();

}  // namespace driver
