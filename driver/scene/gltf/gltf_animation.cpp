#include "scene/gltf/gltf_animation.h"

#include <optional>
#include <string>
#include <utility>

#include "text/name_text.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

// The node index of a pointer "/nodes/N/REST", N an array index as JSON
// pointers write them (no leading zero), and REST.
std::optional<std::pair<std::size_t, std::string>> NodePointer(const std::string& text) {
    const std::string prefix = "/nodes/";
    const std::size_t slash = text.find('/', prefix.size());
    if (text.compare(0, prefix.size(), prefix) != 0 || slash == std::string::npos || slash == prefix.size() ||
        slash - prefix.size() > 9 || (text[prefix.size()] == '0' && slash > prefix.size() + 1) ||
        text.find_first_not_of("0123456789", prefix.size()) != slash) {
        return std::nullopt;
    }
    return std::make_pair(std::stoul(text.substr(prefix.size(), slash - prefix.size())), text.substr(slash + 1));
}

std::optional<ChannelTarget> TargetOf(const JsonValue& target, std::size_t count) {
    const auto node = target.Member("node");
    const auto path = target.Member("path");
    const auto index = node && node->Is(Kind::Number) ? node->Index() : std::nullopt;
    if (index && *index < count && path && path->Is(Kind::String)) {
        ChannelTarget found;
        found.node = *index;
        found.property = path->String();
        found.value = node->GetSpan();
        return found;
    }
    const auto extensions = target.Member("extensions");
    const auto extension = extensions ? extensions->Member("KHR_animation_pointer") : std::nullopt;
    const auto pointer = extension ? extension->Member("pointer") : std::nullopt;
    if (!pointer || !pointer->Is(Kind::String)) {
        return std::nullopt;
    }
    const auto reached = NodePointer(pointer->String());
    if (!reached || reached->first >= count) {
        return std::nullopt;
    }
    ChannelTarget found;
    found.node = reached->first;
    found.property = reached->second;
    found.pointer = true;
    found.value = pointer->GetSpan();
    return found;
}

}  // namespace

std::vector<ChannelTarget> ChannelTargets(const JsonValue& animations, std::size_t count) {
    std::vector<ChannelTarget> targets;
    if (!animations.Is(Kind::Array)) {
        return targets;
    }
    const std::vector<JsonValue> list = animations.Elements();
    for (std::size_t a = 0; a < list.size(); ++a) {
        const JsonValue& animation = list[a];
        const std::vector<JsonValue> channels = ElementsOf(animation.Member("channels"));
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const auto target = channels[c].Member("target");
            if (auto found = target ? TargetOf(*target, count) : std::nullopt) {
                found->animation = a;
                found->channel = c;
                found->object = channels[c].GetSpan();
                found->sampler = IndexIn(channels[c].Member("sampler"));
                targets.push_back(std::move(*found));
            }
        }
    }
    return targets;
}

const char* PlacementPart(const ChannelTarget& target) {
    for (const char* part : {"translation", "rotation", "scale"}) {
        if (target.property == part) {
            return part;
        }
    }
    return target.pointer && target.property == "matrix" ? "matrix" : nullptr;
}

std::size_t KeyComponents(const ChannelTarget& target) { return target.property == "rotation" ? 4 : 3; }

std::vector<AnimationEntry> ReadAnimations(const JsonValue& animations) {
    std::vector<AnimationEntry> entries;
    for (const JsonValue& animation : ElementsOf(animations)) {
        AnimationEntry& entry = entries.emplace_back();
        const auto name = animation.Member("name");
        entry.name = name && name->Is(Kind::String) ? name->String() : std::string();
        const auto samplers = animation.Member("samplers");
        if (samplers && samplers->Is(Kind::Array)) {
            entry.samplersArray = samplers->GetSpan();
        }
        const auto channels = animation.Member("channels");
        if (channels && channels->Is(Kind::Array)) {
            entry.channelsArray = channels->GetSpan();
        }
        for (const JsonValue& sampler : ElementsOf(samplers)) {
            const auto interpolation = sampler.Member("interpolation");
            const std::string named = interpolation && interpolation->Is(Kind::String) ? interpolation->String()
                                                                                       : std::string();
            entry.samplers.push_back({sampler.GetSpan(), IndexIn(sampler.Member("input")),
                                      IndexIn(sampler.Member("output")), named == "CUBICSPLINE", named == "STEP"});
        }
        for (const JsonValue& channel : ElementsOf(animation.Member("channels"))) {
            const auto sampler = IndexIn(channel.Member("sampler"));
            if (sampler && *sampler < entry.samplers.size()) {
                ++entry.samplers[*sampler].channels;
            }
        }
    }
    return entries;
}

std::string ChannelName(const std::vector<AnimationEntry>& animations, const ChannelTarget& channel) {
    const std::string& name = animations[channel.animation].name;
    return "animation " + std::to_string(channel.animation) + (name.empty() ? "" : " " + Quoted(name)) + ", channel " +
           std::to_string(channel.channel);
}

std::vector<AnimatedParts> AnimatedNodes(const std::vector<ChannelTarget>& channels, std::size_t count) {
    std::vector<AnimatedParts> animated(count);
    for (const ChannelTarget& channel : channels) {
        AnimatedParts& parts = animated[channel.node];
        const bool matrix = channel.pointer && channel.property == "matrix";
        parts.translation = parts.translation || matrix || channel.property == "translation";
        parts.rotation = parts.rotation || matrix || channel.property == "rotation";
        parts.scale = parts.scale || matrix || channel.property == "scale";
    }
    return animated;
}

}  // namespace driver::gltf
