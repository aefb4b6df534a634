#pragma once

#include <functional>
#include <optional>
#include <string>

namespace driver {

// Runs `work`, which calls into plug-ins already loaded here, first in a
// copy of this process (a fork, under RunSupervised's watch): the line
// that names the library and the call where a plug-in crashed, ended the
// process or did not return within the limit, or none when the copy came
// through, and this process may run the same work, from the same memory,
// itself. What `work` throws in the copy is not a fault: this process
// meets it when it runs the work. On Windows nothing is tried (none).
std::optional<std::string> PluginTrialFault(const std::function<void()>& work);

}  // namespace driver
