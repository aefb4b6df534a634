#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/gltf/gltf_accessors.h"
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

struct SkinModel {
    std::vector<SkinEntry> skins;
};

// The skins of a file of `nodeCount` nodes, from its top-level members.
SkinModel ReadSkins(const std::vector<JsonMember>& top, std::size_t nodeCount);

// "skin 0 "Body"".
std::string SkinName(const SkinModel& model, std::size_t skin);

// Why the inverse bind matrices of skin `skin` cannot be read and written
// anew; none where they can. In a GLB file (`glb`), a buffer without a URI
// is the binary chunk.
std::optional<std::string> MatricesFault(const SkinModel& model, const BufferModel& data, std::size_t skin, bool glb);

// By node: why its pivot cannot move apart from it, for the joints whose
// skins' matrices cannot be read, so that their vertices could not be kept
// in place.
std::unordered_map<std::size_t, std::string> JointLocks(const SkinModel& model, const BufferModel& data, bool glb);

}  // namespace driver::gltf
