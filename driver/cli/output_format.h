#pragma once

#include "cli/invocation.h"
#include "scene/scene_format.h"

namespace driver {

// A scene is written in the format its -o is named for, the format it was
// read in or another of its family (a .gltf scene to a .glb file): throws
// UsageError for a name of any other. A device or a pipe (-o /dev/null)
// has no name to keep and takes the scene's format as it is, as standard
// output does.
void CheckOutputFormat(const Invocation& invocation, const SceneFile& sceneFile);
// The same for the viewer's -o, before the scene is read, which the
// viewer writes in the format it was read in.
void CheckViewOutputFormat(const Invocation& invocation);

// True for a path that names a device or a pipe.
bool NamesDeviceOrPipe(const std::string& path);

}  // namespace driver
