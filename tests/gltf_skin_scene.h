#pragma once

// A skinned glTF scene for the tests: a chain of three joints at random
// turns and offsets, a skinned triangle weighted across them, and beside it
// a mesh whose rotation an animation drives, one whose scale a
// KHR_animation_pointer drives, and namesakes of the skinned node and of
// the last joint.
#include <random>
#include <string>
#include <vector>

#include "gltf_test_scene.h"

namespace gltftest {

struct SkinShape {
    bool matrices = true;        // the skin has inverseBindMatrices
    bool glb = false;            // the buffer is the GLB binary chunk, not a data: URI
    bool animatedJoint = false;  // an animation drives the second joint's rotation
    bool external = false;       // glTF only: the buffer is the file "skin.bin" beside it
};

// The nodes by pre-order: 1 the skinned "Body", 2 to 4 the joints, 5 "Door"
// (rotation driven), 6 "Pulse" (scale driven), 7 another "Body", 8
// another "Joint 2".
constexpr int kFirstJoint = 2;
constexpr int kDoor = 5;
constexpr int kPulse = 6;

// The file's bytes: glTF JSON, or GLB; `buffer` the bytes of an external buffer.
std::string SkinnedScene(std::mt19937& random, const SkinShape& shape, std::string& buffer);

// What places the skin's vertices: for each joint, its world matrix times
// its inverse bind matrix, read from the file's buffers (a data: URI, a
// file in `folder`, or the GLB binary chunk).
std::vector<Matrix4> SkinningMatrices(const std::string& file, const std::string& folder);

}  // namespace gltftest
