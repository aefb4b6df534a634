// On Windows the plug-ins run in this process (supervised_run_win32.cpp):
// there is no copy of it to try them in.
#include "hosting/plugin_trial.h"

namespace driver {

std::optional<std::string> PluginTrialFault(const std::function<void()>&) { return std::nullopt; }

}  // namespace driver
