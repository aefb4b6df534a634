#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_skin_matrices.h"
#include "scene/world_box.h"

// The boxes in world units that the meshes of a glTF file's nodes fill, as
// `morvane-host list` shows them. A mesh's box comes from the "min" and
// "max" that glTF requires of every POSITION accessor, a morph target's
// included at the node's weights (else the mesh's, else none); no vertex is
// read. Mapped by the node's world transform, it is the node's box; a
// skinned mesh's is the union over its joints of the box mapped by the
// joint's world transform after its inverse bind matrix; an instanced one
// (EXT_mesh_gpu_instancing) the union over its instances, each placed by
// its translation, rotation and scale after the node's transform.
namespace driver::gltf {

// The boxes of the nodes by glTF index: `world`, in world units, and
// `object`, in the frame of the node itself (none for a skinned mesh,
// whose node's frame places nothing).
struct NodeBounds {
    std::unordered_map<std::size_t, WorldBox> world;
    std::unordered_map<std::size_t, WorldBox> object;
};

// By glTF node: the box of what it draws, for every node with a mesh whose
// box the file tells. None for a node whose mesh, or a POSITION accessor
// of it, has no "min" and "max" of three numbers; for a skinned one whose
// joints' inverse bind matrices cannot be read; and for an instanced one
// whose instances' accessors are not plain FLOAT lists (normalized or
// sparse ones are not read), or cannot be read. `json` is the text of
// `model`, which still holds its nodes and the local transforms it keeps;
// `read` reads the bytes of a buffer (of a GLB file when `glb`, a buffer
// without a URI is its binary chunk), and throws BufferReadError.
NodeBounds DrawnBounds(const GltfModel& model, const std::string& json, bool glb, const ViewReader& read);

}  // namespace driver::gltf
