#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/json_view.h"

// The skins of a glTF file, as far as a pivot edit of one of their joints
// needs them: a joint's inverse bind matrix must change with its pivot for
// the skin's vertices to stay where they are. What does not fit is passed
// over here; a joint whose matrices cannot be read is locked instead.
namespace driver::gltf {

struct SkinEntry {
    Span object;
    std::string name;                     // "" where it has none
    std::vector<std::size_t> joints;      // kNoSkinNode for an entry that is no node index
    std::optional<std::size_t> matrices;  // the accessor of "inverseBindMatrices"
};
constexpr std::size_t kNoSkinNode = static_cast<std::size_t>(-1);

struct AccessorEntry {
    Span object;
    std::optional<std::size_t> view;
    std::uint64_t byteOffset = 0;
    std::uint64_t count = 0;
    bool floatMatrices = false;   // FLOAT MAT4, neither normalized nor sparse
    std::uint32_t otherUses = 0;  // references from anything but a skin
};

struct BufferViewEntry {
    Span object;
    std::optional<std::size_t> buffer;
    std::uint64_t byteOffset = 0;
    std::uint64_t byteLength = 0;
    bool packed = true;      // no byteStride, or 64: matrix after matrix
    std::uint32_t uses = 0;  // accessors and images that refer to it
};

struct SkinModel {
    std::vector<SkinEntry> skins;
    std::vector<AccessorEntry> accessors;
    std::vector<BufferViewEntry> views;
    std::vector<std::optional<std::string>> bufferUris;  // by buffer, skins or not; none without a URI
    std::optional<Span> accessorsArray, viewsArray, buffersArray;
    std::size_t documentEnd = 0;  // the closing brace of the file's object
};

// The skins of a file of `nodeCount` nodes, from its top-level members.
SkinModel ReadSkins(const std::vector<JsonMember>& top, const std::string& json, std::size_t nodeCount);

// "skin 0 "Body"".
std::string SkinName(const SkinModel& model, std::size_t skin);

// Why the inverse bind matrices of skin `skin` cannot be read and written
// anew ("" where they can). In a GLB file (`glb`), a buffer without a URI
// is the binary chunk.
std::string MatricesFault(const SkinModel& model, std::size_t skin, bool glb);

// By node: why its pivot cannot move apart from it, for the joints whose
// skins' vertices could not be kept in place then: an animation drives the
// joint, or its skin's matrices cannot be read.
std::unordered_map<std::size_t, std::string> JointLocks(const SkinModel& model,
                                                        const std::vector<ChannelTarget>& channels,
                                                        const std::vector<std::string>& animationNames, bool glb);

}  // namespace driver::gltf
