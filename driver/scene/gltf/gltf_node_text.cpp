#include "scene/gltf/gltf_node_text.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_model_reader.h"
#include "scene/gltf/gltf_transform.h"
#include "text/number_text.h"

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

namespace {

// The numbers that a node of `like`'s form is written with for the local
// transform `local`: single precision, a member left out (false in
// `written`) where it is the default; or none for shear.
struct LocalNumbers {
    bool matrix = false;
    float m[16] = {};
    float t[3] = {}, r[4] = {}, s[3] = {};
    bool written[3] = {true, true, true};  // translation, rotation, scale
};

std::optional<LocalNumbers> NumbersOfLocal(const standin::Affine& local, const NodeText& like, bool fresh) {
    Trs exact;
    standin::Affine orthogonal;
    if (!TrsOfAffine(local, SignsOfScale(like.negativeScale), exact, &orthogonal)) {
        return std::nullopt;
    }
    LocalNumbers numbers;
    if (like.hasMatrix) {
        numbers.matrix = true;
        double m[16];
        MatrixOfAffine(orthogonal, m);
        std::transform(std::begin(m), std::end(m), numbers.m, [](double v) { return static_cast<float>(v); });
        return numbers;
    }
    for (int i = 0; i < 4; ++i) {
        numbers.r[i] = static_cast<float>(exact.rotation[i]);
    }
    for (int i = 0; i < 3; ++i) {
        numbers.t[i] = static_cast<float>(exact.translation[i]);
        numbers.s[i] = static_cast<float>(exact.scale[i]);
    }
    // A few units in the last place of 1: what a rotation or scale of a
    // new node may differ from the default by rounding alone.
    const float rounding = fresh ? 1.0f / (1 << 21) : 0.0f;
    auto differs = [](const float* values, std::size_t count, float fill, float last, float near) {
        for (std::size_t i = 0; i < count; ++i) {
            if (std::fabs(values[i] - (i + 1 == count ? last : fill)) > near) {
                return true;
            }
        }
        return false;
    };
    numbers.written[0] = differs(numbers.t, 3, 0, 0, 0);
    numbers.written[1] = differs(numbers.r, 4, 0, 1, rounding);
    numbers.written[2] = differs(numbers.s, 3, 1, 1, rounding);
    return numbers;
}

// A number as a reader of the file takes it: its text read in double
// precision (the shortest decimal of a single-precision value is rarely
// that value exactly).
double AsRead(float value) {
    double read = 0;
    ReadNumber(NumberText(value), read);
    return read;
}

}  // namespace

std::optional<std::vector<MemberChange>> LocalMembers(const standin::Affine& local, const NodeText& like, bool fresh) {
    const std::optional<LocalNumbers> numbers = NumbersOfLocal(local, like, fresh);
    if (!numbers) {
        return std::nullopt;
    }
    if (numbers->matrix) {
        return std::vector<MemberChange>{{"matrix", JsonNumbers(numbers->m, 16)}};
    }
    auto member = [](const char* key, const float* values, std::size_t count, bool written) {
        return MemberChange{key, written ? std::optional<std::string>(JsonNumbers(values, count)) : std::nullopt};
    };
    return std::vector<MemberChange>{member("translation", numbers->t, 3, numbers->written[0]),
                                     member("rotation", numbers->r, 4, numbers->written[1]),
                                     member("scale", numbers->s, 3, numbers->written[2])};
}

std::optional<standin::Affine> WrittenLocal(const standin::Affine& local, const NodeText& like, bool fresh) {
    const std::optional<LocalNumbers> numbers = NumbersOfLocal(local, like, fresh);
    if (!numbers) {
        return std::nullopt;
    }
    Trs trs;
    if (numbers->matrix) {
        double m[16];
        std::transform(std::begin(numbers->m), std::end(numbers->m), m, AsRead);
        return model_reading::LocalOf(trs, &m);
    }
    for (int i = 0; i < 4; ++i) {
        trs.rotation[i] = numbers->written[1] ? AsRead(numbers->r[i]) : trs.rotation[i];
    }
    for (int i = 0; i < 3; ++i) {
        trs.translation[i] = numbers->written[0] ? AsRead(numbers->t[i]) : trs.translation[i];
        trs.scale[i] = numbers->written[2] ? AsRead(numbers->s[i]) : trs.scale[i];
    }
    return model_reading::LocalOf(trs, nullptr);
}

}  // namespace driver::gltf
