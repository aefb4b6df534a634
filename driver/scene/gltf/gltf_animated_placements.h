#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_channel_keys.h"
#include "standin/transform_math.h"

// The nodes of a glTF file whose placement an animation drives, where they
// are in the scene, and the keys that follow what the edits asked of them.
namespace driver::gltf {

// The frames of the scene's nodes, by pre-order index (0 the root, whose
// frame never changes), as read and as the edits left them.
class SceneFrames {
public:
    // The change that, followed by the frame of node `index` as read, gives
    // its frame now (our row vectors: new = change, then old); none where
    // it is as read. ObjectChange: the same of the node's object.
    virtual std::optional<standin::Affine> Change(std::size_t index) const = 0;
    virtual std::optional<standin::Affine> ObjectChange(std::size_t index) const = 0;
    // The world transform of node `index` as read, and of its object.
    virtual standin::Affine WorldAsRead(std::size_t index) const = 0;
    virtual standin::Affine ObjectWorldAsRead(std::size_t index) const = 0;
    virtual std::size_t ParentOf(std::size_t index) const = 0;
    // "node 3 "Door"".
    virtual std::string Label(std::size_t index) const = 0;

protected:
    ~SceneFrames() = default;
};

struct GltfModel;

class AnimatedPlacements {
public:
    AnimatedPlacements() = default;
    // The nodes of `model` that its channels drive in their placement.
    explicit AnimatedPlacements(const GltfModel& model);

    bool Empty() const { return nodes_.empty(); }
    // Where glTF node `gltf` is in the scene: node `index`, or its object
    // (the child that holds it).
    void Place(std::size_t gltf, std::size_t index, bool object);

    // Adds to `keys` the channels of node `gltf` with the maps that follow
    // what the edits asked of it; or says why they cannot: "animation 0
    // "Wave", channel 1, drives the rotation of node 3 "Door" (nodes[4]):
    // ...". Nothing for a node that no channel drives, or that no edit
    // touched.
    std::optional<std::string> FollowingKeys(std::size_t gltf, const SceneFrames& frames, const FileAnimations& file,
                                             const ViewReader& read, std::vector<ChannelKeys>& keys) const;
    // The same for every animated node, in the file's order.
    std::optional<std::string> AllFollowingKeys(const SceneFrames& frames, const FileAnimations& file,
                                                const ViewReader& read, std::vector<ChannelKeys>& keys) const;
    // "node 3 "Door" (nodes[4])", or "the node that holds the object of ..."
    std::string NameOf(std::size_t gltf, const SceneFrames& frames) const;

private:
    struct Node {
        std::vector<std::size_t> channels;
        std::size_t place = static_cast<std::size_t>(-1);
        bool object = false;
        std::uint8_t negativeScale = 0;
    };
    std::optional<NodeChange> ChangeOf(const Node& node, const SceneFrames& frames) const;

    std::map<std::size_t, Node> nodes_;  // by glTF index, in the file's order, for keys written in it
};

}  // namespace driver::gltf
