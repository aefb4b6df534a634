#include "scene/gltf/gltf_skins.h"

#include <algorithm>

#include "text/name_text.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

std::optional<JsonValue> Find(const JsonValue& object, const std::string& key) {
    if (!object.Is(Kind::Object)) {
        return std::nullopt;
    }
    for (const JsonMember& member : object.Members()) {
        if (member.key == key) {
            return member.value;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IndexIn(const std::optional<JsonValue>& value) {
    return value && value->Is(Kind::Number) ? value->Index() : std::nullopt;
}

std::vector<JsonValue> ElementsOf(const std::optional<JsonValue>& value) {
    return value && value->Is(Kind::Array) ? value->Elements() : std::vector<JsonValue>();
}

void Count(std::vector<std::uint32_t*>& counters, const std::optional<std::size_t>& index) {
    if (index && *index < counters.size()) {
        ++*counters[*index];
    }
}

// Every member of an object that names an accessor: a primitive's
// attributes and targets.
void CountValues(const std::optional<JsonValue>& object, std::vector<std::uint32_t*>& counters) {
    if (object && object->Is(Kind::Object)) {
        for (const JsonMember& member : object->Members()) {
            Count(counters, IndexIn(member.value));
        }
    }
}

// The references to accessors from meshes, animations and GPU instances.
void CountAccessorUses(const std::vector<JsonMember>& top, SkinModel& model) {
    std::vector<std::uint32_t*> counters;
    for (AccessorEntry& accessor : model.accessors) {
        counters.push_back(&accessor.otherUses);
    }
    for (const JsonMember& member : top) {
        if (member.key == "meshes") {
            for (const JsonValue& mesh : ElementsOf(member.value)) {
                for (const JsonValue& primitive : ElementsOf(Find(mesh, "primitives"))) {
                    CountValues(Find(primitive, "attributes"), counters);
                    Count(counters, IndexIn(Find(primitive, "indices")));
                    for (const JsonValue& target : ElementsOf(Find(primitive, "targets"))) {
                        CountValues(target, counters);
                    }
                }
            }
        } else if (member.key == "animations") {
            for (const JsonValue& animation : ElementsOf(member.value)) {
                for (const JsonValue& sampler : ElementsOf(Find(animation, "samplers"))) {
                    Count(counters, IndexIn(Find(sampler, "input")));
                    Count(counters, IndexIn(Find(sampler, "output")));
                }
            }
        } else if (member.key == "nodes") {
            for (const JsonValue& node : ElementsOf(member.value)) {
                const auto extensions = Find(node, "extensions");
                const auto instancing = extensions ? Find(*extensions, "EXT_mesh_gpu_instancing") : std::nullopt;
                CountValues(instancing ? Find(*instancing, "attributes") : std::nullopt, counters);
            }
        }
    }
}

AccessorEntry ReadAccessor(const JsonValue& value) {
    AccessorEntry accessor;
    accessor.object = value.GetSpan();
    accessor.view = IndexIn(Find(value, "bufferView"));
    accessor.byteOffset = IndexIn(Find(value, "byteOffset")).value_or(0);
    accessor.count = IndexIn(Find(value, "count")).value_or(0);
    const auto type = Find(value, "type");
    const auto normalized = Find(value, "normalized");
    accessor.floatMatrices = IndexIn(Find(value, "componentType")) == std::optional<std::size_t>(5126) && type &&
                             type->Is(Kind::String) && type->String() == "MAT4" && !Find(value, "sparse") &&
                             !(normalized && normalized->Raw() == "true");
    return accessor;
}

BufferViewEntry ReadView(const JsonValue& value) {
    BufferViewEntry view;
    view.object = value.GetSpan();
    view.buffer = IndexIn(Find(value, "buffer"));
    view.byteOffset = IndexIn(Find(value, "byteOffset")).value_or(0);
    view.byteLength = IndexIn(Find(value, "byteLength")).value_or(0);
    const auto stride = Find(value, "byteStride");
    view.packed = !stride || IndexIn(stride) == std::optional<std::size_t>(64);
    return view;
}

SkinEntry ReadSkin(const JsonValue& value, std::size_t nodeCount) {
    SkinEntry skin;
    skin.object = value.GetSpan();
    const auto name = Find(value, "name");
    skin.name = name && name->Is(Kind::String) ? name->String() : std::string();
    for (const JsonValue& joint : ElementsOf(Find(value, "joints"))) {
        const auto index = IndexIn(joint);
        skin.joints.push_back(index && *index < nodeCount ? *index : kNoSkinNode);
    }
    skin.matrices = IndexIn(Find(value, "inverseBindMatrices"));
    return skin;
}

}  // namespace

SkinModel ReadSkins(const std::vector<JsonMember>& top, const std::string& json, std::size_t nodeCount) {
    SkinModel model;
    const auto skins = std::find_if(top.begin(), top.end(), [](const JsonMember& m) { return m.key == "skins"; });
    if (skins == top.end() || !skins->value.Is(Kind::Array)) {
        return model;
    }
    for (const JsonValue& skin : skins->value.Elements()) {
        model.skins.push_back(ReadSkin(skin, nodeCount));
    }
    for (const JsonMember& member : top) {
        const bool isArray = member.value.Is(Kind::Array);
        if (member.key == "accessors" && isArray) {
            model.accessorsArray = member.value.GetSpan();
            for (const JsonValue& accessor : member.value.Elements()) {
                model.accessors.push_back(ReadAccessor(accessor));
            }
        } else if (member.key == "bufferViews" && isArray) {
            model.viewsArray = member.value.GetSpan();
            for (const JsonValue& view : member.value.Elements()) {
                model.views.push_back(ReadView(view));
            }
        } else if (member.key == "buffers" && isArray) {
            model.buffersArray = member.value.GetSpan();
            for (const JsonValue& buffer : member.value.Elements()) {
                const auto uri = Find(buffer, "uri");
                model.bufferUris.push_back(uri && uri->Is(Kind::String) ? std::optional(uri->String())
                                                                        : std::nullopt);
            }
        }
    }
    std::vector<std::uint32_t*> viewCounters;
    for (BufferViewEntry& view : model.views) {
        viewCounters.push_back(&view.uses);
    }
    for (const AccessorEntry& accessor : model.accessors) {
        Count(viewCounters, accessor.view);
    }
    for (const JsonMember& member : top) {
        if (member.key == "images") {
            for (const JsonValue& image : ElementsOf(member.value)) {
                Count(viewCounters, IndexIn(Find(image, "bufferView")));
            }
        }
    }
    CountAccessorUses(top, model);
    model.documentEnd = json.find_last_of('}');
    return model;
}

std::string SkinName(const SkinModel& model, std::size_t skin) {
    const std::string& name = model.skins[skin].name;
    return "skin " + std::to_string(skin) + (name.empty() ? "" : " " + Quoted(name));
}

std::string MatricesFault(const SkinModel& model, std::size_t skin, bool glb) {
    const SkinEntry& entry = model.skins[skin];
    if (!entry.matrices) {
        return "";
    }
    const std::string accessor = "accessors[" + std::to_string(*entry.matrices) + "]";
    if (*entry.matrices >= model.accessors.size()) {
        return accessor + " is not in the file";
    }
    const AccessorEntry& matrices = model.accessors[*entry.matrices];
    if (!matrices.floatMatrices || !matrices.view) {
        return accessor + " is not a plain list of 4x4 float matrices";
    }
    if (matrices.count < entry.joints.size() || *matrices.view >= model.views.size()) {
        return accessor + " does not hold a matrix for every joint";
    }
    const BufferViewEntry& view = model.views[*matrices.view];
    const std::uint64_t size = 64 * std::uint64_t{entry.joints.size()};
    const bool inView = matrices.byteOffset <= view.byteLength && size <= view.byteLength - matrices.byteOffset &&
                        view.byteOffset < (std::uint64_t{1} << 48) && view.byteLength < (std::uint64_t{1} << 48);
    if (!view.packed || !inView || !view.buffer || *view.buffer >= model.bufferUris.size()) {
        return accessor + ": its buffer view does not hold its matrices one after another";
    }
    const std::optional<std::string>& uri = model.bufferUris[*view.buffer];
    const std::string buffer = "buffers[" + std::to_string(*view.buffer) + "]";
    if (!uri && !(glb && *view.buffer == 0)) {
        return accessor + ": " + buffer + " has no data";
    }
    if (uri && uri->find(':') != std::string::npos && uri->rfind("data:", 0) != 0 &&
        !(uri->size() > 1 && (*uri)[1] == ':')) {
        return accessor + ": " + buffer + " is not a file beside the scene or a data: URI";
    }
    return "";
}

std::unordered_map<std::size_t, std::string> JointLocks(const SkinModel& model,
                                                        const std::vector<ChannelTarget>& channels,
                                                        const std::vector<std::string>& animationNames, bool glb) {
    std::unordered_map<std::size_t, std::string> locks;
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        const std::string fault = MatricesFault(model, s, glb);
        for (const std::size_t joint : model.skins[s].joints) {
            if (joint == kNoSkinNode || locks.count(joint) != 0) {
                continue;
            }
            const std::string of = "it is a joint of " + SkinName(model, s);
            const auto driving = std::find_if(channels.begin(), channels.end(), [&](const ChannelTarget& c) {
                return c.node == joint && PlacementPart(c) != nullptr;
            });
            if (driving != channels.end()) {
                const std::string& name = animationNames[driving->animation];
                locks[joint] = of + ", and animation " + std::to_string(driving->animation) +
                               (name.empty() ? "" : " " + Quoted(name)) + " drives its " + PlacementPart(*driving) +
                               ": its keys would no longer fit its inverse bind matrix, and the skin would deform "
                               "as it plays";
            } else if (!fault.empty()) {
                locks[joint] = of + ", whose inverse bind matrices cannot be read: " + fault;
            }
        }
    }
    return locks;
}

}  // namespace driver::gltf
