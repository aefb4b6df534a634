// No probe on Windows: the library's image is checked before the system
// maps it (host/standin/library_image.cpp), in this process.
#include "hosting/library_probe.h"

namespace driver {

void SkipLibraryProbes() {}

std::optional<std::string> ProbeLibrary(const std::string&, const std::function<void()>&) { return std::nullopt; }

}  // namespace driver
