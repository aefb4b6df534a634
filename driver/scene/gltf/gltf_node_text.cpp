#include "scene/gltf/gltf_node_text.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_transform.h"

namespace driver::gltf {

std::vector<NodeText> NodeTextsOf(const GltfModel& model) {
    std::vector<NodeText> texts;
    texts.reserve(model.nodes.size());
    for (const NodeEntry& entry : model.nodes) {
        // The reader refuses a node of 4 GiB or more.
        NodeText& text = texts.emplace_back();
        text.objectBegin = entry.object.begin;
        text.objectSize = static_cast<std::uint32_t>(entry.object.end - entry.object.begin);
        if (entry.named) {
            text.nameBegin = entry.NameText().begin;
            text.nameSize = entry.nameSize;
        }
        if (entry.objectNode != kNoNode) {
            text.objectNode = static_cast<std::uint32_t>(entry.objectNode);
        }
        text.negativeScale = static_cast<std::uint8_t>(entry.negativeScale);
        text.hasMatrix = entry.hasMatrix;
        text.holdsObject = entry.holdsObject;
        text.skinned = entry.skinned;
    }
    return texts;
}

bool NamedAsRead(const std::string& json, const NodeText& node, const std::string& name) {
    if (node.nameSize == 0) {
        return name.empty();
    }
    const std::string_view written(json.data() + node.nameBegin, node.nameSize);
    // Most names are written without escapes: they read as they are.
    if (written.find('\\') == std::string_view::npos) {
        return name == written.substr(1, written.size() - 2);
    }
    return name == JsonValue(json, node.Name()).String();
}

std::optional<std::vector<MemberChange>> LocalMembers(const standin::Affine& local, const NodeText& like, bool fresh) {
    Trs exact;
    standin::Affine orthogonal;
    if (!TrsOfAffine(local, SignsOfScale(like.negativeScale), exact, &orthogonal)) {
        return std::nullopt;
    }
    if (like.hasMatrix) {
        double m[16];
        MatrixOfAffine(orthogonal, m);
        float narrowed[16];
        std::transform(std::begin(m), std::end(m), narrowed, [](double v) { return static_cast<float>(v); });
        return std::vector<MemberChange>{{"matrix", JsonNumbers(narrowed, 16)}};
    }
    float t[3], r[4], s[3];
    for (int i = 0; i < 4; ++i) {
        r[i] = static_cast<float>(exact.rotation[i]);
    }
    for (int i = 0; i < 3; ++i) {
        t[i] = static_cast<float>(exact.translation[i]);
        s[i] = static_cast<float>(exact.scale[i]);
    }
    // A few units in the last place of 1: what a rotation or scale of a
    // new node may differ from the default by rounding alone.
    const float rounding = fresh ? 1.0f / (1 << 21) : 0.0f;
    auto member = [](const char* key, const float* values, std::size_t count, float fill, float last, float near) {
        bool isDefault = true;
        for (std::size_t i = 0; i < count; ++i) {
            isDefault = isDefault && std::fabs(values[i] - (i + 1 == count ? last : fill)) <= near;
        }
        return MemberChange{key, isDefault ? std::nullopt : std::optional<std::string>(JsonNumbers(values, count))};
    };
    return std::vector<MemberChange>{member("translation", t, 3, 0, 0, 0), member("rotation", r, 4, 0, 1, rounding),
                                     member("scale", s, 3, 1, 1, rounding)};
}

}  // namespace driver::gltf
