#pragma once

// Random glTF scenes for the tests, and glTF's own arithmetic to check what
// is read from them: 4x4 matrices, column-major, mapping column vectors,
// world = parent world * local.
#include <array>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "node_matrix.h"

namespace gltftest {

using Json = nlohmann::ordered_json;
using Matrix4 = std::array<double, 16>;  // column-major, as glTF writes it

struct SceneShape {
    int maxNodes = 12;
    // Leaves may scale by different factors along their axes; nodes with
    // children always scale uniformly, so that no child is sheared.
    bool nonUniformLeaves = false;
    // Some nodes mirrored: scaled by a negative factor along X.
    bool mirrors = false;
    // Sometimes an animation drives one node's rotation.
    bool turning = true;
};

// A valid glTF 2.0 file: a tree of nodes under the default scene (in a
// shuffled index order; sometimes the second scene), each with a matrix or
// some of translation, rotation, scale, and a mesh (plain, with morph
// targets, GPU instances or a skin), a camera, a light or nothing; names
// from a small pool, so that namesakes are common, some nodes unnamed.
// Animations drive all morph weights and (see SceneShape) a rotation, some
// of them through KHR_animation_pointer.
Json RandomGltf(std::mt19937& random, const SceneShape& shape = SceneShape());

// The world matrix of every node, by index, from the file's matrices and
// translations, rotations and scales.
std::vector<Matrix4> GltfWorlds(const Json& gltf);

// The default scene's nodes in depth-first pre-order, leaving out the nodes
// that hold their parent's object (extras.morvaneObjectOf).
std::vector<std::size_t> GltfPreOrder(const Json& gltf);

// Our row-vector form of a glTF matrix: its columns are our rows.
NodeMatrix AsNodeMatrix(const Matrix4& m);
// a * b, both column-major.
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
// The inverse of a turn and a shift: the turn transposed, the shift undone.
Matrix4 RigidInverse(const Matrix4& m);

// A GLB file of a JSON text (padded here) and the chunks after it.
std::string GlbFile(std::string json, const std::string& chunks = "");
// A chunk of a GLB file: its length, its type ("BIN" ends in a zero byte), its data.
std::string Chunk(const std::string& type, const std::string& data);

// The largest difference between two transforms, relative to their size.
double Distance(const NodeMatrix& a, const NodeMatrix& b);

}  // namespace gltftest
