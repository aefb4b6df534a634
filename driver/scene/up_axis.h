#pragma once

namespace driver {

// The world axis that points up in a scene: Z in the project's own scene
// files, Y in glTF files.
enum class UpAxis { Y, Z };

}  // namespace driver
