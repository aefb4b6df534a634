#include "scene/gltf/gltf_skins.h"

#include <algorithm>

#include "text/name_text.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

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
                for (const JsonValue& primitive : ElementsOf(mesh.Member("primitives"))) {
                    CountValues(primitive.Member("attributes"), counters);
                    Count(counters, IndexIn(primitive.Member("indices")));
                    for (const JsonValue& target : ElementsOf(primitive.Member("targets"))) {
                        CountValues(target, counters);
                    }
                }
            }
        } else if (member.key == "animations") {
            for (const JsonValue& animation : ElementsOf(member.value)) {
                for (const JsonValue& sampler : ElementsOf(animation.Member("samplers"))) {
                    Count(counters, IndexIn(sampler.Member("input")));
                    Count(counters, IndexIn(sampler.Member("output")));
                }
            }
        } else if (member.key == "nodes") {
            for (const JsonValue& node : ElementsOf(member.value)) {
                const auto extensions = node.Member("extensions");
                const auto instancing = extensions ? extensions->Member("EXT_mesh_gpu_instancing") : std::nullopt;
                CountValues(instancing ? instancing->Member("attributes") : std::nullopt, counters);
            }
        }
    }
}

AccessorEntry ReadAccessor(const JsonValue& value) {
    AccessorEntry accessor;
    accessor.object = value.GetSpan();
    accessor.view = IndexIn(value.Member("bufferView"));
    accessor.byteOffset = IndexIn(value.Member("byteOffset")).value_or(0);
    accessor.count = IndexIn(value.Member("count")).value_or(0);
    const auto type = value.Member("type");
    const auto normalized = value.Member("normalized");
    accessor.floatMatrices = IndexIn(value.Member("componentType")) == std::optional<std::size_t>(5126) && type &&
                             type->Is(Kind::String) && type->String() == "MAT4" && !value.Member("sparse") &&
                             !(normalized && normalized->Raw() == "true");
    return accessor;
}

BufferViewEntry ReadView(const JsonValue& value) {
    BufferViewEntry view;
    view.object = value.GetSpan();
    view.buffer = IndexIn(value.Member("buffer"));
    view.byteOffset = IndexIn(value.Member("byteOffset")).value_or(0);
    view.byteLength = IndexIn(value.Member("byteLength")).value_or(0);
    const auto stride = value.Member("byteStride");
    view.packed = !stride || IndexIn(stride) == std::optional<std::size_t>(64);
    return view;
}

SkinEntry ReadSkin(const JsonValue& value, std::size_t nodeCount) {
    SkinEntry skin;
    skin.object = value.GetSpan();
    const auto name = value.Member("name");
    skin.name = name && name->Is(Kind::String) ? name->String() : std::string();
    for (const JsonValue& joint : ElementsOf(value.Member("joints"))) {
        const auto index = IndexIn(joint);
        skin.joints.push_back(index && *index < nodeCount ? *index : kNoSkinNode);
    }
    skin.matrices = IndexIn(value.Member("inverseBindMatrices"));
    return skin;
}

}  // namespace

SkinModel ReadSkins(const std::vector<JsonMember>& top, const std::string& json, std::size_t nodeCount) {
    SkinModel model;
    // Every read of a buffer's bytes finds the buffer and where the arrays
    // of accessors and buffer views lie here, a skin's or not.
    for (const JsonMember& member : top) {
        if (!member.value.Is(Kind::Array)) {
            continue;
        }
        if (member.key == "buffers") {
            model.buffersArray = member.value.GetSpan();
            for (const JsonValue& buffer : member.value.Elements()) {
                const auto uri = buffer.Member("uri");
                model.bufferUris.push_back(uri && uri->Is(Kind::String) ? std::optional(uri->String()) : std::nullopt);
            }
        } else if (member.key == "accessors") {
            model.accessorsArray = member.value.GetSpan();
        } else if (member.key == "bufferViews") {
            model.viewsArray = member.value.GetSpan();
        }
    }
    const auto skins = std::find_if(top.begin(), top.end(), [](const JsonMember& m) { return m.key == "skins"; });
    if (skins == top.end() || !skins->value.Is(Kind::Array)) {
        return model;
    }
    for (const JsonValue& skin : skins->value.Elements()) {
        model.skins.push_back(ReadSkin(skin, nodeCount));
    }
    if (model.accessorsArray) {
        for (const JsonValue& accessor : JsonValue(json, *model.accessorsArray).Elements()) {
            model.accessors.push_back(ReadAccessor(accessor));
        }
    }
    if (model.viewsArray) {
        for (const JsonValue& view : JsonValue(json, *model.viewsArray).Elements()) {
            model.views.push_back(ReadView(view));
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
                Count(viewCounters, IndexIn(image.Member("bufferView")));
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
