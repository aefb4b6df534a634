#include "scene/gltf/gltf_animated_placements.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "scene/gltf/gltf_model.h"

namespace driver::gltf {

namespace {

constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

// A node's origin stays while it moves no further than single precision
// rounds its place.
bool OriginStays(const standin::Affine& own, const standin::Affine& world) {
    const standin::Affine now = standin::FirstThen(own, world);
    double moved = 0, size = 1;
    for (int i = 0; i < 3; ++i) {
        moved = std::max(moved, std::fabs(now.t[i] - world.t[i]));
        size = std::max(size, std::fabs(world.t[i]));
    }
    return moved <= 1e-6 * size;
}

}  // namespace

AnimatedPlacements::AnimatedPlacements(const GltfModel& model) {
    for (auto& [gltf, placed] : PlacementChannels(model.channels)) {
        nodes_[gltf] = {std::move(placed), kNowhere, false, static_cast<std::uint8_t>(model.nodes[gltf].negativeScale)};
    }
}

void AnimatedPlacements::Place(std::size_t gltf, std::size_t index, bool object) {
    if (const auto found = nodes_.find(gltf); found != nodes_.end()) {
        found->second.place = index;
        found->second.object = object;
    }
}

// What the edits ask of an animated node: its parent's change and its own;
// none where both are none. The object of a node has the node for parent.
std::optional<NodeChange> AnimatedPlacements::ChangeOf(const Node& node, const SceneFrames& frames) const {
    if (node.place == kNowhere) {
        return std::nullopt;  // not in the scene, which no edit reaches
    }
    const std::size_t index = node.place;
    const std::size_t parent = frames.ParentOf(index);
    const std::optional<standin::Affine> parentChange = frames.Change(node.object ? index : parent);
    const std::optional<standin::Affine> ownChange = node.object ? frames.ObjectChange(index) : frames.Change(index);
    if (!parentChange && !ownChange) {
        return std::nullopt;
    }
    const standin::Affine parentWorld = node.object ? frames.WorldAsRead(index) : frames.WorldAsRead(parent);
    const standin::Affine world = node.object ? frames.ObjectWorldAsRead(index) : frames.WorldAsRead(index);
    standin::Affine parentInverse;
    if (!standin::Invert(parentWorld, parentInverse)) {
        return std::nullopt;  // a scene that cannot be inverted was refused as it was read
    }
    NodeChange change;
    change.parent = parentChange.value_or(standin::Affine());
    change.own = ownChange.value_or(standin::Affine());
    change.rest = standin::FirstThen(world, parentInverse);
    change.like = SignsOfScale(node.negativeScale);
    change.pivotStays = OriginStays(change.own, world);
    return change;
}

std::string AnimatedPlacements::NameOf(std::size_t gltf, const SceneFrames& frames) const {
    const Node& node = nodes_.at(gltf);
    const std::string named = frames.Label(node.place) + " (nodes[" + std::to_string(gltf) + "])";
    return node.object ? "the node that holds the object of " + named : named;
}

std::optional<std::string> AnimatedPlacements::FollowingKeys(std::size_t gltf, const SceneFrames& frames,
                                                             const FileAnimations& file, const ViewReader& read,
                                                             std::vector<ChannelKeys>& keys) const {
    const auto found = nodes_.find(gltf);
    const std::optional<NodeChange> change = found != nodes_.end() ? ChangeOf(found->second, frames) : std::nullopt;
    if (!change) {
        return std::nullopt;
    }
    return gltf::FollowingKeys(file, found->second.channels, *change, NameOf(gltf, frames), read, keys);
}

std::optional<std::string> AnimatedPlacements::AllFollowingKeys(const SceneFrames& frames, const FileAnimations& file,
                                                                const ViewReader& read,
                                                                std::vector<ChannelKeys>& keys) const {
    for (const auto& entry : nodes_) {
        if (std::optional<std::string> refusal = FollowingKeys(entry.first, frames, file, read, keys)) {
            return refusal;
        }
    }
    return std::nullopt;
}

}  // namespace driver::gltf
