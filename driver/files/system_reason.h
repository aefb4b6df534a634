#pragma once

#include <string>

namespace driver {

// The system's reason for a failed call with this errno value, as the
// driver's messages give it: "no such file or directory".
std::string SystemReason(int error);

}  // namespace driver
