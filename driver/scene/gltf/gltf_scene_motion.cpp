#include "scene/gltf/gltf_scene_file_class.h"

#include "scene/gltf/gltf_channel_keys.h"
#include "scene/gltf/gltf_same_placement.h"

namespace driver::gltf {

using standin::StandinNode;

std::optional<standin::Affine> GltfSceneFile::Change(std::size_t index) const {
    if (index == 0 || transforms_.empty() || ExactlyEqual(order_[index]->Transform(), transforms_[index])) {
        return std::nullopt;
    }
    standin::Affine inverse;
    if (!standin::Invert(WorldAsRead(index), inverse)) {
        return std::nullopt;  // a node that cannot be inverted was refused as it was read
    }
    return standin::FirstThen(standin::ToAffine(order_[index]->Transform()), inverse);
}

std::optional<standin::Affine> GltfSceneFile::ObjectChange(std::size_t index) const {
    const bool offsetSame = ExactlyEqual(order_[index]->ObjectOffset(), ObjectOffsetAsRead(index));
    if (!Change(index) && offsetSame) {
        return std::nullopt;
    }
    standin::Affine inverse;
    if (!standin::Invert(ObjectWorldAsRead(index), inverse)) {
        return std::nullopt;
    }
    return standin::FirstThen(standin::ToAffine(order_[index]->ObjectWorld()), inverse);
}

std::optional<std::string> GltfSceneFile::MotionRefusal(const StandinNode& node) const {
    const std::size_t index = IndexOf(node);
    if (index == kNoNode || index == 0 || animated_.Empty()) {
        return std::nullopt;
    }
    // The node, its object and its children: what its change asks of
    // their keys. Nodes further down keep their frames.
    std::vector<std::size_t> asked{records_[index].gltf};
    if (const auto object = objectNodes_.find(index); object != objectNodes_.end()) {
        asked.push_back(object->second);
    }
    for (const StandinNode* child : node.Children()) {
        asked.push_back(records_[IndexOf(*child)].gltf);
    }
    std::vector<ChannelKeys> keys;
    const ViewReader read = [this](std::size_t view, std::uint64_t offset, std::size_t size) {
        return ReadView(view, offset, size);
    };
    for (const std::size_t gltf : asked) {
        if (std::optional<std::string> refusal = animated_.FollowingKeys(gltf, *this, Animations(), read, keys)) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::vector<std::string> GltfSceneFile::MovedWith(const StandinNode& node) const {
    const std::size_t index = IndexOf(node);
    if (index == kNoNode || index == 0) {
        return {};
    }
    const auto meshes = jointMeshes_.find(records_[index].gltf);
    return meshes != jointMeshes_.end() ? meshes->second : std::vector<std::string>();
}

void GltfSceneFile::FindSamePlaced() const {
    samePlaced_ = transforms_.empty()
                      ? decltype(samePlaced_)()
                      : SamePlacedNamesakes(order_, transforms_, [this](std::size_t a, std::size_t b) {
                            return nodeTexts_[records_[a].gltf].hasMatrix == nodeTexts_[records_[b].gltf].hasMatrix;
                        });
}

bool GltfSceneFile::LocalRewritten(std::size_t index) const {
    if (transforms_.empty()) {
        return false;
    }
    const std::size_t parent = records_[index].parent;
    if (ExactlyEqual(order_[index]->Transform(), transforms_[index]) && skinnedNodes_.count(index) != 0 &&
        order_[index]->Children().empty()) {
        return false;  // glTF ignores a skinned mesh node's transform, and no child's world hangs on it
    }
    return (parent != 0 && !ExactlyEqual(order_[parent]->Transform(), transforms_[parent])) ||
           !ExactlyEqual(order_[index]->Transform(), transforms_[index]);
}

// A local transform that no file can hold (Save refuses it) is drawn as
// the scene has it.
standin::Affine GltfSceneFile::DrawnLocal(std::size_t index) const {
    if (const auto same = samePlaced_.find(index); same != samePlaced_.end()) {
        return localsRead_[same->second];
    }
    if (!LocalRewritten(index)) {
        return localsRead_[index];
    }
    const std::size_t parent = records_[index].parent;
    standin::Affine parentInverse;
    if (!standin::Invert(standin::ToAffine(parent == 0 ? NodeMatrix() : WrittenWorld(parent)), parentInverse)) {
        return localsRead_[index];
    }
    const standin::Affine local = standin::FirstThen(standin::ToAffine(order_[index]->Transform()), parentInverse);
    return WrittenLocal(local, nodeTexts_[records_[index].gltf]).value_or(local);
}

// As Written places the object: on the marked child, on a new one, or
// (a node without an object, or a skinned mesh) nowhere in the file.
standin::Affine GltfSceneFile::DrawnOffset(std::size_t index) const {
    const StandinNode& node = *order_[index];
    if (ExactlyEqual(node.ObjectOffset(), ObjectOffsetAsRead(index))) {
        const auto read = offsetsRead_.find(index);
        return read != offsetsRead_.end() ? read->second : standin::Affine();
    }
    const standin::Affine offset = standin::ToAffine(node.ObjectOffset());
    const NodeText& entry = nodeTexts_[records_[index].gltf];
    std::optional<standin::Affine> written;
    if (entry.objectNode != NodeText::kNone) {
        written = WrittenLocal(offset, nodeTexts_[entry.objectNode]);
    } else if (entry.holdsObject && !entry.skinned) {
        written = WrittenLocal(offset, NodeText(), true);
    }
    return written.value_or(offset);
}

// Each node's world is its parent's and its local transform composed, as
// a reader of the file composes them; the chain up to a node already
// placed is walked without recursion.
std::vector<DrawnPlacement> GltfSceneFile::DrawnPlacements(const std::vector<std::size_t>& indices) const {
    if (!drawn_) {
        return {};
    }
    FindSamePlaced();
    std::unordered_map<std::size_t, standin::Affine> worlds{{0, standin::Affine()}};
    std::vector<std::size_t> chain;
    std::vector<DrawnPlacement> placements;
    placements.reserve(indices.size());
    for (const std::size_t index : indices) {
        if (index == 0) {
            placements.push_back({standin::Affine(), standin::ToAffine(order_[0]->ObjectOffset())});
            continue;
        }
        chain.clear();
        for (std::size_t at = index; worlds.find(at) == worlds.end(); at = records_[at].parent) {
            chain.push_back(at);
        }
        for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
            worlds[*at] = standin::FirstThen(DrawnLocal(*at), worlds.at(records_[*at].parent));
        }
        const standin::Affine& world = worlds.at(index);
        placements.push_back({world, standin::FirstThen(DrawnOffset(index), world)});
    }
    return placements;
}

}  // namespace driver::gltf
