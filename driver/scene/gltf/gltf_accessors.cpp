#include "scene/gltf/gltf_accessors.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "standin/little_endian.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

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

void CountMeshUses(const JsonValue& meshes, std::vector<std::uint32_t*>& counters) {
    for (const JsonValue& mesh : ElementsOf(meshes)) {
        for (const JsonValue& primitive : ElementsOf(mesh.Member("primitives"))) {
            CountValues(primitive.Member("attributes"), counters);
            Count(counters, IndexIn(primitive.Member("indices")));
            for (const JsonValue& target : ElementsOf(primitive.Member("targets"))) {
                CountValues(target, counters);
            }
        }
    }
}

// The references to accessors from meshes, animations, GPU instances (of
// the `instanced` nodes' objects alone: a scan of every node's members
// would cost a large file as much as its read) and skins.
void CountAccessorUses(const std::vector<JsonMember>& top, const std::vector<JsonValue>& instanced,
                       BufferModel& model) {
    std::vector<std::uint32_t*> others, skins;
    for (AccessorEntry& accessor : model.accessors) {
        others.push_back(&accessor.otherUses);
        skins.push_back(&accessor.skinUses);
    }
    for (const JsonMember& member : top) {
        if (member.key == "meshes") {
            CountMeshUses(member.value, others);
        } else if (member.key == "animations") {
            for (const JsonValue& animation : ElementsOf(member.value)) {
                for (const JsonValue& sampler : ElementsOf(animation.Member("samplers"))) {
                    Count(others, IndexIn(sampler.Member("input")));
                    Count(others, IndexIn(sampler.Member("output")));
                }
            }
        } else if (member.key == "skins") {
            for (const JsonValue& skin : ElementsOf(member.value)) {
                Count(skins, IndexIn(skin.Member("inverseBindMatrices")));
            }
        }
    }
    for (const JsonValue& node : instanced) {
        const auto extensions = node.Member("extensions");
        const auto instancing = extensions ? extensions->Member("EXT_mesh_gpu_instancing") : std::nullopt;
        CountValues(instancing ? instancing->Member("attributes") : std::nullopt, others);
    }
}

std::uint8_t ComponentsOf(const std::optional<JsonValue>& type) {
    if (type && type->Is(Kind::String)) {
        const std::string name = type->String();
        for (const auto& [known, components] : kAccessorTypes) {
            // MAT2 has four components, but not a VEC4's layout: it is no match for one.
            if (name == known && name != "MAT2") {
                return components;
            }
        }
    }
    return 0;
}

AccessorEntry ReadAccessor(const JsonValue& value) {
    AccessorEntry accessor;
    accessor.object = value.GetSpan();
    accessor.view = IndexIn(value.Member("bufferView"));
    accessor.byteOffset = IndexIn(value.Member("byteOffset")).value_or(0);
    accessor.count = IndexIn(value.Member("count")).value_or(0);
    accessor.componentType = static_cast<std::uint32_t>(IndexIn(value.Member("componentType")).value_or(0));
    accessor.components = ComponentsOf(value.Member("type"));
    const auto normalized = value.Member("normalized");
    accessor.normalized = normalized && normalized->Raw() == "true";
    accessor.sparse = value.Member("sparse").has_value();
    return accessor;
}

MeshoptSource MeshoptSourceOf(const JsonValue& value, const char* extension) {
    MeshoptSource source;
    source.extension = extension;
    source.buffer = IndexIn(value.Member("buffer"));
    source.byteOffset = IndexIn(value.Member("byteOffset")).value_or(0);
    source.byteLength = IndexIn(value.Member("byteLength")).value_or(0);
    source.byteStride = IndexIn(value.Member("byteStride")).value_or(0);
    source.count = IndexIn(value.Member("count")).value_or(0);
    const auto mode = value.Member("mode");
    const auto filter = value.Member("filter");
    source.mode = mode && mode->Is(Kind::String) ? mode->String() : "";
    source.filter = filter && filter->Is(Kind::String) ? filter->String() : "";
    return source;
}

BufferViewEntry ReadView(const JsonValue& value) {
    BufferViewEntry view;
    view.object = value.GetSpan();
    view.buffer = IndexIn(value.Member("buffer"));
    view.byteOffset = IndexIn(value.Member("byteOffset")).value_or(0);
    view.byteLength = IndexIn(value.Member("byteLength")).value_or(0);
    view.byteStride = IndexIn(value.Member("byteStride")).value_or(0);
    const auto extensions = value.Member("extensions");
    for (const char* name : {"KHR_meshopt_compression", "EXT_meshopt_compression"}) {
        const auto source = extensions ? extensions->Member(name) : std::nullopt;
        if (source && !view.meshopt) {
            view.meshopt = MeshoptSourceOf(*source, name);
        }
    }
    return view;
}

}  // namespace

BufferModel ReadBufferModel(const std::vector<JsonMember>& top, const std::vector<JsonValue>& instanced,
                            const std::string& json) {
    BufferModel model;
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
                const auto uri = buffer.Member("uri");
                model.buffers.push_back(buffer.GetSpan());
                model.bufferUris.push_back(uri && uri->Is(Kind::String) ? std::optional(uri->String()) : std::nullopt);
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
                Count(viewCounters, IndexIn(image.Member("bufferView")));
            }
        }
    }
    CountAccessorUses(top, instanced, model);
    model.documentEnd = json.find_last_of('}');
    return model;
}

std::size_t ComponentSize(const AccessorEntry& accessor) {
    switch (accessor.componentType) {
        case kByteComponent:
        case kUnsignedByteComponent:
            return 1;
        case kShortComponent:
        case kUnsignedShortComponent:
            return 2;
        default:
            return 4;
    }
}

double ComponentValue(const AccessorEntry& accessor, const std::string& bytes, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])); };
    switch (accessor.componentType) {
        case kByteComponent:
            return std::max(static_cast<signed char>(byte(i)) / 127.0, -1.0);
        case kUnsignedByteComponent:
            return byte(i) / 255.0;
        case kShortComponent:
            return std::max(static_cast<std::int16_t>(byte(2 * i) | byte(2 * i + 1) << 8) / 32767.0, -1.0);
        case kUnsignedShortComponent:
            return (byte(2 * i) | byte(2 * i + 1) << 8) / 65535.0;
        default:
            return little_endian::Float32(bytes, 4 * i);
    }
}

std::optional<std::string> AccessorFault(const BufferModel& model, std::size_t index, std::size_t components,
                                         std::uint64_t count, bool glb, bool quantized) {
    const std::string accessor = "accessors[" + std::to_string(index) + "]";
    if (index >= model.accessors.size()) {
        return accessor + " is not in the file";
    }
    const AccessorEntry& entry = model.accessors[index];
    const bool plain = entry.componentType == kFloatComponent && !entry.normalized;
    const bool integers = quantized && entry.normalized && ComponentSize(entry) < 4 &&
                          entry.componentType >= kByteComponent && entry.componentType <= kUnsignedShortComponent;
    if (!(plain || integers) || entry.components != components || entry.sparse) {
        return accessor + " is not a plain list of " +
               (components == 16
                    ? std::string("4x4 float matrices")
                    : std::to_string(components) +
                          (quantized ? "-number values (floats or normalized integers)" : "-float values"));
    }
    if (entry.count < count || (entry.view && *entry.view >= model.views.size())) {
        return accessor + " does not hold as many values as it must";
    }
    if (!entry.view) {
        return std::nullopt;  // zeros, as glTF reads an accessor without a buffer view
    }
    const BufferViewEntry& view = model.views[*entry.view];
    const std::uint64_t size = ComponentSize(entry) * components * count;
    const bool inView = entry.byteOffset <= view.byteLength && size <= view.byteLength - entry.byteOffset &&
                        view.byteOffset < (std::uint64_t{1} << 48) && view.byteLength < (std::uint64_t{1} << 48);
    const bool packed = view.byteStride == 0 || view.byteStride == ComponentSize(entry) * components;
    const std::optional<std::size_t> source = DataBufferOf(view);
    if (!packed || !inView || !source || *source >= model.bufferUris.size()) {
        return accessor + ": its buffer view does not hold its values one after another";
    }
    const std::optional<std::string>& uri = model.bufferUris[*source];
    const std::string buffer = "buffers[" + std::to_string(*source) + "]";
    if (!uri && !(glb && *source == 0)) {
        return accessor + ": " + buffer + " has no data";
    }
    if (uri && uri->find(':') != std::string::npos && uri->rfind("data:", 0) != 0 &&
        !(uri->size() > 1 && (*uri)[1] == ':')) {
        return accessor + ": " + buffer + " is not a file beside the scene or a data: URI";
    }
    return std::nullopt;
}

}  // namespace driver::gltf
