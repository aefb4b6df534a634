#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/gltf/gltf_accessors.h"
#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_key_map.h"
#include "scene/gltf/gltf_new_data.h"
#include "text/refusal.h"
#include "text/text_edits.h"

// The keys of the animation channels that drive the placement of a node
// whose frame, or whose parent's, an edit changed: each channel's keys
// mapped (gltf_key_map.h) into new data of the file (gltf_new_data.h).
// A channel's values accessor that nothing else reads takes the new keys;
// else its sampler gets a new accessor where no other channel uses the
// sampler, and the channel a new sampler where another does. The times
// are shared as they were.
namespace driver::gltf {

// What of a file the keys of its channels are.
struct FileAnimations {
    const std::vector<ChannelTarget>& channels;
    const std::vector<AnimationEntry>& animations;
    const std::vector<AnimatedParts>& animated;  // by node
    const BufferModel& data;
    bool glb = false;
};

// A channel whose keys follow a map; or, where `newTranslation` holds
// keys (3 numbers each), a new channel of the translation of the same
// node in the same animation, at the times of `channel`'s keys, by steps
// where `step`.
struct ChannelKeys {
    std::size_t channel;  // in FileAnimations::channels
    KeyMap map;
    std::vector<double> newTranslation;
    bool step = false;
};

// The channels of each node that drive its placement, by glTF index.
std::unordered_map<std::size_t, std::vector<std::size_t>> PlacementChannels(const std::vector<ChannelTarget>& channels);

// Adds to `keys` the channels of `placed`, the channels that drive one
// node's placement, with the maps under `change`, each animation's as it
// plays the node (gltf_played_keys.h, whose keys are read by `read`); or
// says why they cannot follow it, naming the node as `node`: "animation 0
// "Wave", channel 1, drives the rotation of node 3 "Door" (nodes[4]): its
// pivot moved ...".
std::optional<std::string> FollowingKeys(const FileAnimations& file, const std::vector<std::size_t>& placed,
                                         const NodeChange& change, const std::string& node, const ViewReader& read,
                                         std::vector<ChannelKeys>& keys);

// A channel whose keys cannot be written; what() says why.
class ChannelKeysError : public CodedError {
public:
    ChannelKeysError(std::size_t index, const std::string& why)
        : CodedError(RefusalCode::BadScene, why), channel(index) {}
    std::size_t channel;
};

// Adds to `edits` and `data` what gives each of `keys` its mapped keys,
// and the new channels. Throws ChannelKeysError.
void EditChannelKeys(const std::string& json, const FileAnimations& file, const std::vector<ChannelKeys>& keys,
                     const ViewReader& read, NewData& data, TextEdits& edits);

}  // namespace driver::gltf
