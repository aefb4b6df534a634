#pragma once

#include <string>
#include <utility>
#include <vector>

namespace driver {

// A tar archive (POSIX ustar) of `files`, each a name (at most 100 bytes)
// and its bytes, in the folder `folder`: what `tar xf` unpacks anywhere.
std::string TarArchive(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace driver
