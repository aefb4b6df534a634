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

// How an animation "Pose" drives the bone of CarriedMotionScene, in the
// ways exporters key bones. Rotation keys: "constant" (the same turn at
// every key, not the rest's), "rest" (the rest's turn at every key),
// "flipped" (the same turn as q, -q, q), "bent" (the same turn, with
// tangents of a cubic spline that bend it between keys) or "varying";
// translation keys: none (null), or their interpolation, "STEP apart" for
// STEP keys whose times are an accessor of their own (equal times), "STEP
// later" for STEP keys at other times; scale keys: none,
// "unit" (1, 1, 1 at every key), "uniform" (varying, uniform) or "stretch".
struct BoneMotion {
    const char* rotation;
    const char* rotationInterpolation;
    const char* translation;
    const char* scale;
    // The rotation keys are normalized 16-bit integers: of turns that they
    // hold exactly (half turns), but for "varying" and "constant" keys,
    // which rounding leaves a little off unit length.
    bool quantized = false;
};

// The nodes by pre-order: 1 "Arm" (translated only, to (2, -1, 0.5)), 2
// "Bone" (a mesh, at kBoneAt in the world, scaled uniformly, driven as
// `motion` says), 3 "Tip" (a mesh and the joint of 4, its rotation driven
// too), 4 "Skin" (a skinned mesh, child of the arm, without a transform
// of its own), 5 another "Tip".
constexpr int kCarriedArm = 1, kCarriedBone = 2, kCarriedTip = 3, kSkinOfTip = 4;
constexpr const char* kBoneAt = "3,-0.5,-1.5";
std::string CarriedMotionScene(std::mt19937& random, const BoneMotion& motion);

}  // namespace gltftest
