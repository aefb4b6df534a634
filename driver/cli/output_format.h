#pragma once

#include "cli/invocation.h"
#include "scene/scene_format.h"

namespace driver {

// A scene is written in the format it was read in, so -o must be named
// for it: throws UsageError for a name of another format. A device or a
// pipe (-o /dev/null) has no name to keep and takes the scene's format as
// it is, as standard output does.
void CheckOutputFormat(const Invocation& invocation, const SceneFile& sceneFile);
// The same for the viewer's -o, before the scene is read.
void CheckViewOutputFormat(const Invocation& invocation);

// True for a path that names a device or a pipe.
bool NamesDeviceOrPipe(const std::string& path);

}  // namespace driver
