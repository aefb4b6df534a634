#include "scene/gltf/gltf_channel_keys.h"

#include <cmath>
#include <map>
#include <vector>

#include "scene/gltf/gltf_constants.h"
#include "scene/gltf/gltf_played_keys.h"
#include "scene/gltf/json_edit.h"
#include "standin/little_endian.h"

namespace driver::gltf {

namespace {

std::string Driving(const FileAnimations& file, const ChannelTarget& channel, const std::string& node) {
    return ChannelName(file.animations, channel) + ", drives the " + PlacementPart(channel) + " of " + node;
}

// Why the channel's keys cannot be read as floats; none where they can.
std::optional<std::string> KeysFault(const FileAnimations& file, const ChannelTarget& channel) {
    const AnimationEntry& animation = file.animations[channel.animation];
    if (!channel.sampler || *channel.sampler >= animation.samplers.size()) {
        return "its sampler is not in the animation";
    }
    const std::optional<std::size_t> output = animation.samplers[*channel.sampler].output;
    if (!output || *output >= file.data.accessors.size()) {
        return "its sampler has no values accessor";
    }
    return AccessorFault(file.data, *output, KeyComponents(channel), file.data.accessors[*output].count, file.glb,
                         true);
}

// The bytes of `values` as floats; throws where one is not finite in
// single precision.
std::string FloatBytes(const std::vector<double>& values, std::size_t channel) {
    std::string bytes(4 * values.size(), '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto value = static_cast<float>(values[i]);
        if (!std::isfinite(value)) {
            throw ChannelKeysError(channel, "its new keys would not be finite in single precision");
        }
        little_endian::PutFloat32(bytes, 4 * i, value);
    }
    return bytes;
}

// The channel's keys read, mapped and put back as floats; none where that
// leaves every one as it was.
std::optional<std::string> MappedKeys(const FileAnimations& file, const ChannelKeys& keys, const ViewReader& read) {
    const ChannelTarget& channel = file.channels[keys.channel];
    const SamplerEntry& sampler = file.animations[channel.animation].samplers[*channel.sampler];
    const std::size_t count = static_cast<std::size_t>(file.data.accessors[*sampler.output].count);
    std::vector<double> values = ChannelValues(file, keys.channel, read);
    const std::size_t numbers = values.size();
    std::string bytes(4 * numbers, '\0');
    for (std::size_t i = 0; i < numbers; ++i) {
        little_endian::PutFloat32(bytes, 4 * i, static_cast<float>(values[i]));
    }
    MapKeys(keys.map, PlacementPart(channel), sampler.cubic, values.data(), count);
    const std::string after = FloatBytes(values, keys.channel);
    return after != bytes ? std::optional(after) : std::nullopt;
}

// New translation keys at the times of channel `at`'s keys: the rest's
// translation, mapped.
ChannelKeys NewTranslation(const FileAnimations& file, std::size_t at, const NodeChange& change, const KeyMap& map,
                           bool step) {
    const ChannelTarget& channel = file.channels[at];
    const std::optional<std::size_t> input = file.animations[channel.animation].samplers[*channel.sampler].input;
    const std::size_t count = static_cast<std::size_t>(file.data.accessors[*input].count);
    ChannelKeys keys{at, map, {}, step};
    for (std::size_t k = 0; k < count; ++k) {
        keys.newTranslation.insert(keys.newTranslation.end(), change.rest.t, change.rest.t + 3);
    }
    MapKeys(map, "translation", false, keys.newTranslation.data(), count);
    return keys;
}

}  // namespace

std::unordered_map<std::size_t, std::vector<std::size_t>> PlacementChannels(
    const std::vector<ChannelTarget>& channels) {
    std::unordered_map<std::size_t, std::vector<std::size_t>> placed;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        if (PlacementPart(channels[c]) != nullptr) {
            placed[channels[c].node].push_back(c);
        }
    }
    return placed;
}

std::optional<std::string> FollowingKeys(const FileAnimations& file, const std::vector<std::size_t>& placed,
                                         const NodeChange& change, const std::string& node, const ViewReader& read,
                                         std::vector<ChannelKeys>& keys) {
    for (const std::size_t c : placed) {
        if (std::string(PlacementPart(file.channels[c])) == "matrix") {
            return Driving(file, file.channels[c], node) +
                   ": the keys of a whole matrix are not carried, only those of a translation, a rotation or a scale";
        }
    }
    // Each animation plays on its own: its keys follow the change as what
    // it plays of the node does.
    std::map<std::size_t, std::vector<std::size_t>> byAnimation;
    for (const std::size_t c : placed) {
        byAnimation[file.channels[c].animation].push_back(c);
    }
    for (const auto& [animation, channels] : byAnimation) {
        AnimatedParts driven;
        for (const std::size_t c : channels) {
            const std::string part = PlacementPart(file.channels[c]);
            driven.translation = driven.translation || part == "translation";
            driven.rotation = driven.rotation || part == "rotation";
            driven.scale = driven.scale || part == "scale";
        }
        std::optional<std::string> unread;
        for (const std::size_t c : channels) {
            if (const std::optional<std::string> fault = unread ? std::nullopt : KeysFault(file, file.channels[c])) {
                unread = Driving(file, file.channels[c], node) + ", whose keys cannot be read: " + *fault;
            }
        }
        NodeChange played = change;
        KeyMap map;
        PlayedShift shift;
        if (!unread && (driven.rotation || driven.scale)) {
            PlayedChange(file, channels, read, played, shift);
        }
        if (const std::optional<KeyFault> fault = KeyMapOf(played, driven, map)) {
            if (unread && (!change.pivotStays || driven.scale)) {
                return unread;  // keys that were read might have carried it
            }
            std::size_t named = channels[0];
            for (const std::size_t c : channels) {
                named = std::string(PlacementPart(file.channels[c])) == fault->part ? c : named;
            }
            return Driving(file, file.channels[named], node) + ": " + fault->reason;
        }
        if (unread) {
            return unread;
        }
        map.offsets = std::move(shift.offsets);
        for (const std::size_t c : channels) {
            keys.push_back({c, map, {}, false});
        }
        if (shift.newKeysAt) {
            keys.push_back(NewTranslation(file, *shift.newKeysAt, change, map, shift.step));
        }
    }
    return std::nullopt;
}

void EditChannelKeys(const std::string& json, const FileAnimations& file, const std::vector<ChannelKeys>& keys,
                     const ViewReader& read, NewData& data, TextEdits& edits) {
    std::map<std::size_t, std::vector<std::string>> newSamplers, newChannels;  // by animation
    for (const ChannelKeys& channelKeys : keys) {
        const ChannelTarget& channel = file.channels[channelKeys.channel];
        const AnimationEntry& animation = file.animations[channel.animation];
        const SamplerEntry& sampler = animation.samplers[*channel.sampler];
        if (!channelKeys.newTranslation.empty()) {
            const std::size_t count = channelKeys.newTranslation.size() / 3;
            const std::size_t accessor =
                data.Add(FloatBytes(channelKeys.newTranslation, channelKeys.channel), "VEC3", count, std::nullopt);
            std::vector<std::string>& added = newSamplers[channel.animation];
            added.push_back("{\"input\": " + std::to_string(*sampler.input) +
                            ", \"output\": " + std::to_string(accessor) + ", \"interpolation\": \"" +
                            (channelKeys.step ? "STEP" : "LINEAR") + "\"}");
            newChannels[channel.animation].push_back(
                "{\"sampler\": " + std::to_string(animation.samplers.size() + added.size() - 1) +
                ", \"target\": {\"node\": " + std::to_string(channel.node) + ", \"path\": \"translation\"}}");
            continue;
        }
        const AccessorEntry& output = file.data.accessors[*sampler.output];
        const std::optional<std::string> mapped = MappedKeys(file, channelKeys, read);
        if (!mapped) {
            continue;
        }
        const std::string& bytes = *mapped;
        const char* type = KeyComponents(channel) == 4 ? "VEC4" : "VEC3";
        // Quantized keys come back as floats in a new accessor; the old one stays as it was.
        const bool floats = output.componentType == kFloatComponent && !output.normalized;
        if (floats && sampler.channels == 1 && output.otherUses == 1 && output.skinUses == 0) {
            data.Add(bytes, type, output.count, *sampler.output);
            continue;
        }
        const std::string accessor = std::to_string(data.Add(bytes, type, output.count, std::nullopt));
        if (sampler.channels == 1) {
            EditObject(json, sampler.object, {{"output", accessor}}, edits);
            continue;
        }
        std::vector<std::string>& added = newSamplers[channel.animation];
        added.push_back(ChangedObject(JsonValue(json, sampler.object), {{"output", accessor}}));
        EditObject(json, channel.object, {{"sampler", std::to_string(animation.samplers.size() + added.size() - 1)}},
                   edits);
    }
    for (const auto& [animation, added] : newSamplers) {
        const auto [at, text] = ArrayAppendix(JsonValue(json, *file.animations[animation].samplersArray), added);
        edits.Replace({at, at}, text);
    }
    for (const auto& [animation, added] : newChannels) {
        const auto [at, text] = ArrayAppendix(JsonValue(json, *file.animations[animation].channelsArray), added);
        edits.Replace({at, at}, text);
    }
}

}  // namespace driver::gltf
