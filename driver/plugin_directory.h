#pragma once

#include <string>

namespace driver {

// The folder that holds the running program, where the plug-ins are built.
std::string PluginDirectory();

}  // namespace driver
