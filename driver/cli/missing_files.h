#pragma once

#include <ostream>
#include <string>

#include "scene/scene_format.h"

namespace driver {

// Warns on `err` of each file that the scene at `scenePath` refers to (a
// glTF buffer or image) and that does not exist, a line each led by the
// scene's path. The run goes on: the tools read and write nodes, not those
// bytes, and a written scene refers to the file where the scene did (its
// URI rewritten for the written file's folder); where a tool needs the
// bytes (a skin's matrices, when a joint's pivot moves), that edit says so.
void WarnOfMissingFiles(const std::string& scenePath, const SceneFile& file, std::ostream& err);

}  // namespace driver
