// The reading of the nodes: their hierarchy, local transforms and objects.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene/gltf/gltf_model_reader.h"
#include "scene/gltf/gltf_object.h"
#include "scene/gltf/gltf_transform.h"

namespace driver::gltf::model_reading {

namespace {

using Kind = JsonValue::Kind;

// The cycle from `at` down through its children back to it: all of a short
// one, the first few nodes and the length of a long one, so that the
// message stays a line whatever the file.
std::string CycleText(const GltfModel& model, std::size_t at) {
    constexpr std::size_t kShown = 4;
    std::vector<std::size_t> up;  // the parents from `at` up, back to it
    for (std::size_t n = model.nodes[at].parent; n != at; n = model.nodes[n].parent) {
        up.push_back(n);
    }
    std::string text = NodeName(at);
    for (std::size_t i = 0; i < up.size() && i < kShown; ++i) {
        text += " -> " + NodeName(up[up.size() - 1 - i]);
    }
    text += (up.size() > kShown ? " -> ... -> " : " -> ") + NodeName(at);
    if (up.size() > kShown) {
        text += " (a cycle of " + std::to_string(up.size() + 1) + " nodes)";
    }
    return text;
}

}  // namespace

bool IsRotation(const double* q) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    return length > 0 && std::isfinite(length);
}

void ModelReader::CheckNodes(GltfModel& model) {
    for (const auto& [index, extras] : extras_) {
        if (const auto mark = ObjectOfMark(JsonValue(json_, extras))) {
            objectOf_[index] = *mark;
        }
    }
    for (std::size_t i = 0; i < model.nodes.size(); ++i) {
        node_ = i;
        NodeEntry& node = model.nodes[i];
        if (readAgain_[i] || !LinkChildren(i, model)) {
            const Span object = node.object;
            const NodeIndex parent = node.parent;
            node = NodeEntry();
            node.parent = parent;
            objectOf_.erase(i);
            ReadNode(JsonValue(json_, object), i, model);
        }
        nodeName_.reset();
    }
}

bool ModelReader::LinkChildren(std::size_t index, GltfModel& model) const {
    const ChildRange children = model.Children(model.nodes[index]);
    for (const std::uint32_t* child = children.begin(); child != children.end(); ++child) {
        if (*child >= model.nodes.size() || model.nodes[*child].parent != kNoNode) {
            for (const std::uint32_t* linked = children.begin(); linked != child; ++linked) {
                model.nodes[*linked].parent = kNoNode;
            }
            return false;
        }
        model.nodes[*child].parent = index;
    }
    return true;
}

void ModelReader::AddChild(std::size_t child, GltfModel& model) const {
    if (model.children.size() == UINT32_MAX) {
        Fail("nodes", "hold more children than the tools can read");
    }
    model.children.push_back(static_cast<std::uint32_t>(child));
}

void ModelReader::ReadNode(const JsonValue& value, std::size_t index, GltfModel& model) {
    const std::string where = NodeName(index);
    if (!value.Is(Kind::Object)) {
        Fail(where, value.GetSpan(), "must be a node object");
    }
    NodeEntry& node = model.nodes[index];
    node.object = value.GetSpan();
    const std::vector<JsonMember> members = Members(value, where);
    if (const auto name = Find(members, "name")) {
        nodeName_ = Name(*name, where + ".name");
        node.SetName(name->GetSpan());
    }
    if (const auto children = Find(members, "children")) {
        ReadChildren(*children, index, model);
    }
    standin::Affine local;
    ReadLocal(members, node, local, where);
    node.transformAt[0] = NodeEntry::kKeptLocal;
    model.keptLocals.insert_or_assign(index, local);

    const auto mesh = Find(members, "mesh");
    const auto camera = Find(members, "camera");
    if (mesh) {
        IndexType(*mesh, where + ".mesh", "a mesh");
    }
    if (camera) {
        IndexType(*camera, where + ".camera", "a camera");
    }
    NodeExtensions extensions;
    if (const auto used = Find(members, "extensions")) {
        extensions = ReadExtensions(*used, where + ".extensions");
    }
    if (const auto extras = Find(members, "extras")) {
        if (const auto mark = ObjectOfMark(*extras)) {
            objectOf_[index] = *mark;
        }
    }
    node.objectKind = mesh               ? NodeEntry::kGeometry
                      : camera           ? NodeEntry::kCamera
                      : extensions.light ? NodeEntry::kLight
                                         : NodeEntry::kHelper;
    node.skinned = Find(members, "skin").has_value();
    node.weighted = Find(members, "weights").has_value();
    node.instanced = extensions.instanced;
    node.ownsObject = mesh || camera || extensions.ofObject || node.skinned || node.weighted;
    node.holdsObject = mesh || camera || extensions.ofObject;
}

ModelReader::NodeExtensions ModelReader::ReadExtensions(const JsonValue& value, const std::string& where) const {
    if (!value.Is(Kind::Object)) {
        Fail(where, value.GetSpan(), "must be an object");
    }
    NodeExtensions extensions;
    const std::vector<JsonMember> used = Members(value, where);
    extensions.ofObject =
        std::any_of(used.begin(), used.end(), [](const JsonMember& m) { return IsObjectExtension(m.key); });
    extensions.light = Find(used, "EXT_lights_ies").has_value();
    extensions.instanced = Find(used, "EXT_mesh_gpu_instancing").has_value();
    if (const auto lights = Find(used, "KHR_lights_punctual")) {
        const std::string at = where + ".KHR_lights_punctual";
        const auto lightIndex = lights->Is(Kind::Object) ? Find(Members(*lights, at), "light") : std::nullopt;
        if (!lightIndex) {
            Fail(at, lights->GetSpan(), "must be an object with a \"light\" index");
        }
        IndexType(*lightIndex, at + ".light", "a light");
        extensions.light = true;
    }
    return extensions;
}

std::optional<std::size_t> ModelReader::ObjectOfMark(const JsonValue& extras) {
    if (!extras.Is(Kind::Object)) {
        return std::nullopt;
    }
    const auto mark = Find(extras.Members(), kObjectOfKey);
    return mark && mark->Is(Kind::Number) ? mark->Index() : std::nullopt;
}

void ModelReader::ReadChildren(const JsonValue& value, std::size_t index, GltfModel& model) const {
    const std::string where = NodeName(index) + ".children";
    if (!value.Is(Kind::Array)) {
        Fail(where, value.GetSpan(), "must be an array of node indices");
    }
    const std::vector<JsonValue> elements = value.Elements();
    NodeEntry& node = model.nodes[index];
    node.firstChild = static_cast<std::uint32_t>(model.children.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::size_t child =
            Index(elements[i], model.nodes.size(), where + "[" + std::to_string(i) + "]", "a node");
        const std::size_t parent = model.nodes[child].parent;
        if (parent != kNoNode) {
            Fail(NodeName(child), elements[i].GetSpan(),
                 parent == index ? "is listed twice among the children of " + NodeName(index)
                                 : "is a child of both " + NodeName(parent) + " and " + NodeName(index));
        }
        model.nodes[child].parent = index;
        AddChild(child, model);
        ++node.childCount;
    }
}

void ModelReader::ReadLocal(const std::vector<JsonMember>& members, NodeEntry& node, standin::Affine& local,
                            const std::string& where) const {
    const auto matrix = Find(members, "matrix");
    const auto translation = Find(members, "translation");
    const auto rotation = Find(members, "rotation");
    const auto scale = Find(members, "scale");
    if (matrix && (translation || rotation || scale)) {
        Fail(where, matrix->GetSpan(), "has both a \"matrix\" and a translation, rotation or scale");
    }
    double m[16];
    Trs trs;
    if (matrix) {
        Numbers(*matrix, 16, m, where + ".matrix");
        if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
            Fail(where + ".matrix", matrix->GetSpan(), "is not an affine transform: its last row must be 0, 0, 0, 1");
        }
    }
    if (translation) {
        Numbers(*translation, 3, trs.translation, where + ".translation");
    }
    if (rotation) {
        Numbers(*rotation, 4, trs.rotation, where + ".rotation");
        if (!IsRotation(trs.rotation)) {
            Fail(where + ".rotation", rotation->GetSpan(), "is not a rotation quaternion");
        }
    }
    if (scale) {
        Numbers(*scale, 3, trs.scale, where + ".scale");
    }
    local = FinishLocal(node, trs, matrix ? &m : nullptr);
}

standin::Affine ModelReader::FinishLocal(NodeEntry& node, Trs& trs, const double (*matrix)[16]) {
    node.hasMatrix = matrix != nullptr;
    const standin::Affine local = LocalOf(trs, matrix);
    NoteSignsOfScale(node, trs);
    return local;
}

void NoteSignsOfScale(NodeEntry& node, const Trs& trs) {
    unsigned negative = 0;
    for (int i = 0; i < 3; ++i) {
        negative |= trs.scale[i] < 0 ? 1u << i : 0u;
    }
    node.negativeScale = negative & 7u;
}

standin::Affine LocalOf(Trs& trs, const double (*matrix)[16]) {
    standin::Affine local;
    if (matrix != nullptr) {
        local = AffineOfMatrix(*matrix);
        Trs decomposed;
        if (TrsOfAffine(local, Trs(), decomposed)) {
            trs = decomposed;
        }
    } else {
        double* q = trs.rotation;
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        for (int i = 0; i < 4; ++i) {
            q[i] /= length;
        }
        local = AffineOfTrs(trs);
    }
    return local;
}

void ModelReader::CheckHierarchy(const GltfModel& model) const {
    enum class Seen { No, OnPath, Done };
    std::vector<Seen> seen(model.nodes.size(), Seen::No);
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < model.nodes.size(); ++start) {
        path.clear();
        std::size_t at = start;
        while (at != kNoNode && seen[at] == Seen::No) {
            seen[at] = Seen::OnPath;
            path.push_back(at);
            at = model.nodes[at].parent;
        }
        if (at != kNoNode && seen[at] == Seen::OnPath) {
            Fail(NodeName(at), model.nodes[at].object, "is its own ancestor: " + CycleText(model, at));
        }
        for (const std::size_t n : path) {
            seen[n] = Seen::Done;
        }
    }
}

void ModelReader::FindObjectNodes(GltfModel& model) const {
    if (objectOf_.empty()) {
        return;
    }
    for (std::size_t index = 0; index < model.nodes.size(); ++index) {
        NodeEntry& node = model.nodes[index];
        if (node.ownsObject) {
            continue;
        }
        for (const std::uint32_t child : model.Children(node)) {
            const auto mark = objectOf_.find(child);
            if (mark != objectOf_.end() && mark->second == index && model.nodes[child].childCount == 0) {
                node.objectNode = child;
                node.objectKind = model.nodes[child].objectKind;
                model.nodes[child].holdsParentObject = true;
                break;
            }
        }
    }
}

}  // namespace driver::gltf::model_reading
