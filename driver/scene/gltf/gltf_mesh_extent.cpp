#include "scene/gltf/gltf_mesh_extent.h"

#include <algorithm>

#include "scene/gltf/gltf_constants.h"
#include "text/number_text.h"

namespace driver::gltf::bounds {

namespace {

using Kind = JsonValue::Kind;

// What a stored number of a normalized component type stands for; none
// for a type that cannot be normalized.
std::optional<double> Normalized(double stored, std::size_t componentType) {
    switch (componentType) {
        case kByteComponent:
            return std::max(stored / 127.0, -1.0);
        case kUnsignedByteComponent:
            return stored / 255.0;
        case kShortComponent:
            return std::max(stored / 32767.0, -1.0);
        case kUnsignedShortComponent:
            return stored / 65535.0;
        default:
            return std::nullopt;
    }
}

// The box that a VEC3 accessor's "min" and "max" give, in the values they
// stand for (glTF writes them as stored, before normalization).
std::optional<WorldBox> AccessorBox(const FileArrays& arrays, std::optional<std::size_t> index) {
    const std::optional<JsonValue> accessor = FileArrays::At(arrays.accessors, index);
    if (!accessor || StringIn(accessor->Member("type")) != "VEC3") {
        return std::nullopt;
    }
    const std::optional<std::vector<double>> min = Numbers(accessor->Member("min"));
    const std::optional<std::vector<double>> max = Numbers(accessor->Member("max"));
    const std::optional<std::size_t> componentType = IndexIn(accessor->Member("componentType"));
    if (!min || !max || min->size() != 3 || max->size() != 3 || !componentType) {
        return std::nullopt;
    }
    const bool normalized = IsTrue(accessor->Member("normalized"));
    WorldBox box;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<double> low = normalized ? Normalized((*min)[i], *componentType) : (*min)[i];
        const std::optional<double> high = normalized ? Normalized((*max)[i], *componentType) : (*max)[i];
        if (!low || !high) {
            return std::nullopt;
        }
        box.min[i] = *low;
        box.max[i] = *high;
    }
    return box;
}

}  // namespace

std::optional<std::string> StringIn(const std::optional<JsonValue>& value) {
    return value && value->Is(Kind::String) ? std::optional(value->String()) : std::nullopt;
}

bool IsTrue(const std::optional<JsonValue>& value) { return value && value->Raw() == "true"; }

std::optional<std::vector<double>> Numbers(const std::optional<JsonValue>& value) {
    if (!value || !value->Is(Kind::Array)) {
        return std::nullopt;
    }
    std::vector<double> numbers;
    for (const JsonValue& element : value->Elements()) {
        double number = 0;
        if (!element.Is(Kind::Number) || ReadNumber(element.Raw(), number) != NumberProblem::None) {
            return std::nullopt;
        }
        numbers.push_back(number);
    }
    return numbers;
}

FileArrays ArraysOf(const GltfModel& model, const std::string& json) {
    FileArrays arrays;
    for (const auto& [span, list] :
         {std::pair{model.meshesArray, &arrays.meshes}, std::pair{model.data.accessorsArray, &arrays.accessors},
          std::pair{model.data.viewsArray, &arrays.views}}) {
        if (span && JsonValue(json, *span).Is(Kind::Array)) {
            *list = JsonValue(json, *span).Elements();
        }
    }
    return arrays;
}

std::optional<MeshExtent> ReadMesh(const FileArrays& arrays, std::size_t index) {
    const std::optional<JsonValue> mesh = FileArrays::At(arrays.meshes, index);
    const std::optional<JsonValue> primitives = mesh ? mesh->Member("primitives") : std::nullopt;
    if (!primitives || !primitives->Is(Kind::Array)) {
        return std::nullopt;
    }
    MeshExtent extent;
    extent.weights = Numbers(mesh->Member("weights")).value_or(std::vector<double>());
    for (const JsonValue& primitive : primitives->Elements()) {
        const std::optional<JsonValue> attributes = primitive.Member("attributes");
        const std::optional<JsonValue> position = attributes ? attributes->Member("POSITION") : std::nullopt;
        if (!position) {
            continue;  // a primitive without positions draws nothing
        }
        const std::optional<WorldBox> base = AccessorBox(arrays, IndexIn(position));
        if (!base) {
            return std::nullopt;
        }
        Primitive& drawn = extent.primitives.emplace_back();
        drawn.base = *base;
        const std::optional<JsonValue> targets = primitive.Member("targets");
        for (const JsonValue& target :
             targets && targets->Is(Kind::Array) ? targets->Elements() : std::vector<JsonValue>()) {
            const std::optional<JsonValue> moved = target.Member("POSITION");
            drawn.targets.push_back(moved ? AccessorBox(arrays, IndexIn(moved)) : std::nullopt);
            if (moved && !drawn.targets.back()) {
                return std::nullopt;
            }
        }
    }
    return extent;
}

std::optional<WorldBox> MeshBox(const MeshExtent& mesh, const std::vector<double>& weights) {
    std::optional<WorldBox> box;
    for (const Primitive& primitive : mesh.primitives) {
        WorldBox moved = primitive.base;
        for (std::size_t t = 0; t < primitive.targets.size() && t < weights.size(); ++t) {
            if (!primitive.targets[t]) {
                continue;
            }
            for (int i = 0; i < 3; ++i) {
                const double low = weights[t] * primitive.targets[t]->min[i];
                const double high = weights[t] * primitive.targets[t]->max[i];
                moved.min[i] += std::min(low, high);
                moved.max[i] += std::max(low, high);
            }
        }
        AddBox(box, moved);
    }
    return box;
}

}  // namespace driver::gltf::bounds
