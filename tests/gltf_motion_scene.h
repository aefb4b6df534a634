#pragma once

// A glTF scene whose animations drive nodes in every way that an edit must
// keep as they play: each part of a node's placement with each
// interpolation, by a channel's path or by a KHR_animation_pointer, on
// nodes that hold meshes, cameras and lights, and on the joints of a skin.
#include <random>
#include <string>

namespace gltftest {

// The nodes by pre-order: 1 "Frame", a mesh that no animation drives,
// whose children 2 to 10 are each driven in one part (translation,
// rotation, scale) with one interpolation (LINEAR, CUBICSPLINE, STEP),
// some through KHR_animation_pointer; 11 "Mover", driven in translation;
// 12 "Spinner", in rotation, at kSpinnerAt, scaled uniformly; 13 "Arm"
// (rotation), 14 "Bone" (not driven) and 15 "Tip" (rotation), the joints
// of the skinned mesh 16 "Body"; 17 a mirrored "Frame" and 18 another
// "Mover", namesakes. Animation 0 "Play" drives 2 to 12, animation 1
// "Wave" the joints.
constexpr int kFrame = 1, kMover = 11, kSpinner = 12, kArm = 13, kBone = 14, kTip = 15;
constexpr const char* kSpinnerAt = "2,-1,0.5";

// The file's bytes: GLB, with its binary chunk as its one buffer, or glTF
// JSON with a data: URI.
std::string MotionScene(std::mt19937& random, bool glb);

}  // namespace gltftest
