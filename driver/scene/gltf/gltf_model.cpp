#include "scene/gltf/gltf_model.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_model_reader.h"
#include "scene/scene_error.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver::gltf {

namespace model_reading {

namespace {

using Kind = JsonValue::Kind;

std::string IndexRange(std::size_t count) {
    return count == 0 ? "there are none" : "0 to " + std::to_string(count - 1);
}

}  // namespace

std::string NodeName(std::size_t index) { return "nodes[" + std::to_string(index) + "]"; }

std::vector<JsonValue> ModelReader::InstancedNodes(const GltfModel& model) const {
    std::vector<JsonValue> instanced;
    for (const NodeEntry& node : model.nodes) {
        if (node.instanced) {
            instanced.emplace_back(json_, node.object);
        }
    }
    return instanced;
}

GltfModel ModelReader::Read() {
    GltfModel model;
    if (keepScannedTrs_) {
        model.scannedTrs.Enable();
    }
    const std::vector<JsonMember> top = Unique(ScanDocument(model), "the file");
    CheckVersion(Find(top, "asset"));
    if (const auto nodes = Find(top, "nodes")) {
        if (!nodes->Is(Kind::Array)) {
            Fail("nodes", nodes->GetSpan(), "must be an array of nodes");
        }
        model.nodesArray = nodes->GetSpan();
        CheckNodes(model);
    }
    CheckHierarchy(model);
    FindObjectNodes(model);
    ReadScene(top, model);
    if (const auto meshes = Find(top, "meshes")) {
        model.meshesArray = meshes->GetSpan();
    }
    if (const auto animations = Find(top, "animations")) {
        model.channels = ChannelTargets(*animations, model.nodes.size());
        model.animations = ReadAnimations(*animations);
    }
    model.skins = ReadSkins(top, model.nodes.size());
    // Skins, animations and the boxes that `list` gives read buffers.
    model.data = ReadBufferModel(top, InstancedNodes(model), json_);
    model.animated = AnimatedNodes(model.channels, model.nodes.size());
    ReadUris(Find(top, "buffers"), "buffers", model);
    ReadUris(Find(top, "images"), "images", model);
    return model;
}

void ModelReader::Fail(const std::string& where, std::optional<Span> at, const std::string& what) const {
    ScenePlace place;
    if (at) {
        place.text = PlaceOf(at->begin);
    }
    const std::string own = NodeName(node_);
    if (nodeName_ && where.compare(0, own.size(), own) == 0 &&
        (where.size() == own.size() || where[own.size()] == '.')) {
        const std::string rest = where.substr(std::min(where.size(), own.size() + 1));
        throw SceneFileError(SceneErrorText(source_, place,
                                            "node " + QuotedExcerpt(*nodeName_) + " (" + own +
                                                "): " + (rest.empty() ? "" : rest + ": ") + what));
    }
    throw SceneFileError(SceneErrorText(source_, place, where + ": " + what));
}

void ModelReader::Fail(const std::string& where, const std::string& what) const { Fail(where, std::nullopt, what); }

TextPlace ModelReader::PlaceOf(std::size_t offset) const {
    const auto end = json_.begin() + static_cast<std::ptrdiff_t>(std::min(offset, json_.size()));
    const auto lineStart = std::find(std::make_reverse_iterator(end), json_.rend(), '\n').base();
    TextPlace place;
    place.line = 1 + static_cast<std::size_t>(std::count(json_.begin(), end, '\n'));
    place.column = 1 + static_cast<std::size_t>(end - lineStart);
    return place;
}

std::vector<JsonMember> ModelReader::Members(const JsonValue& object, const std::string& where) const {
    return Unique(object.Members(), where);
}

std::vector<JsonMember> ModelReader::Unique(std::vector<JsonMember> members, const std::string& where) const {
    std::unordered_set<std::string_view> keys;
    for (const JsonMember& member : members) {
        if (!keys.insert(member.key).second) {
            Fail(where, member.keySpan, "has the member " + QuotedExcerpt(member.key) + " twice");
        }
    }
    return members;
}

std::optional<JsonValue> ModelReader::Find(const std::vector<JsonMember>& members, const std::string& key) {
    for (const JsonMember& member : members) {
        if (member.key == key) {
            return member.value;
        }
    }
    return std::nullopt;
}

void ModelReader::CheckVersion(const std::optional<JsonValue>& asset) const {
    std::optional<JsonValue> version;
    std::optional<JsonValue> minVersion;
    if (asset && asset->Is(Kind::Object)) {
        const std::vector<JsonMember> members = Members(*asset, "asset");
        version = Find(members, "version");
        minVersion = Find(members, "minVersion");
    }
    if (!version || !version->Is(Kind::String)) {
        Fail("asset", asset ? std::optional<Span>(asset->GetSpan()) : std::nullopt,
             "not glTF 2.0: there is no \"asset\" with a \"version\" string");
    }
    const std::string text = version->String();
    if (text.rfind("2.", 0) != 0) {
        Fail("asset.version", version->GetSpan(), "not glTF 2.0: the version is " + QuotedExcerpt(text));
    }
    if (minVersion && (!minVersion->Is(Kind::String) || minVersion->String() != "2.0")) {
        Fail("asset.minVersion", minVersion->GetSpan(), "needs a newer glTF than 2.0");
    }
}

void ModelReader::Numbers(const JsonValue& value, std::size_t count, double* out, const std::string& where) const {
    const std::string shape = "must be an array of " + std::to_string(count) + " numbers";
    if (!value.Is(Kind::Array)) {
        Fail(where, value.GetSpan(), shape);
    }
    const std::vector<JsonValue> elements = value.Elements();
    if (elements.size() != count) {
        Fail(where, value.GetSpan(), shape);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!elements[i].Is(Kind::Number)) {
            Fail(where, elements[i].GetSpan(), shape);
        }
        double number = 0;
        if (ReadSingleNumber(elements[i].Raw(), number) != NumberProblem::None) {
            Fail(where, elements[i].GetSpan(),
                 Excerpt(std::string(elements[i].Raw())) + " is not finite in single precision");
        }
        out[i] = number;
    }
}

std::size_t ModelReader::Index(const JsonValue& value, std::size_t count, const std::string& where,
                               const std::string& what) const {
    const std::optional<std::size_t> index = value.Is(Kind::Number) ? value.Index() : std::nullopt;
    if (!index) {
        Fail(where, value.GetSpan(), "must be " + what + " index");
    }
    if (*index >= count) {
        Fail(where, value.GetSpan(), std::to_string(*index) + " is not " + what + " index (" + IndexRange(count) + ")");
    }
    return *index;
}

void ModelReader::IndexType(const JsonValue& value, const std::string& where, const std::string& what) const {
    if (!value.Is(Kind::Number) || !value.Index()) {
        Fail(where, value.GetSpan(), "must be " + what + " index");
    }
}

std::string ModelReader::Name(const JsonValue& value, const std::string& where) const {
    if (!value.Is(Kind::String)) {
        Fail(where, value.GetSpan(), "must be a string");
    }
    return value.String();
}

void ModelReader::ReadScene(const std::vector<JsonMember>& top, GltfModel& model) const {
    const auto scenes = Find(top, "scenes");
    const auto scene = Find(top, "scene");
    if (scenes && !scenes->Is(Kind::Array)) {
        Fail("scenes", scenes->GetSpan(), "must be an array of scenes");
    }
    const std::vector<JsonValue> list = scenes ? scenes->Elements() : std::vector<JsonValue>();
    if (scene) {
        model.scene.index = Index(*scene, list.size(), "scene", "a scene");
    } else if (!list.empty()) {
        model.scene.index = 0;
    } else {
        return;
    }
    const std::string where = "scenes[" + std::to_string(*model.scene.index) + "]";
    const JsonValue& chosen = list[*model.scene.index];
    if (!chosen.Is(Kind::Object)) {
        Fail(where, chosen.GetSpan(), "must be a scene object");
    }
    model.scene.object = chosen.GetSpan();
    const std::vector<JsonMember> members = Members(chosen, where);
    if (const auto name = Find(members, "name")) {
        model.scene.named = true;
        model.scene.name = Name(*name, where + ".name");
    }
    const auto roots = Find(members, "nodes");
    if (!roots) {
        return;
    }
    if (!roots->Is(Kind::Array)) {
        Fail(where + ".nodes", roots->GetSpan(), "must be an array of node indices");
    }
    std::vector<bool> listed(model.nodes.size(), false);
    const std::vector<JsonValue> elements = roots->Elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string at = where + ".nodes[" + std::to_string(i) + "]";
        const std::size_t root = Index(elements[i], model.nodes.size(), at, "a node");
        if (model.nodes[root].parent != kNoNode) {
            Fail(at, elements[i].GetSpan(),
                 NodeName(root) + " is a child of " + NodeName(model.nodes[root].parent) + ", not a root");
        }
        if (listed[root]) {
            Fail(at, elements[i].GetSpan(), NodeName(root) + " is listed twice");
        }
        listed[root] = true;
        model.scene.roots.push_back(root);
    }
}

void ModelReader::ReadUris(const std::optional<JsonValue>& list, const std::string& name, GltfModel& model) const {
    if (!list || !list->Is(Kind::Array)) {
        return;
    }
    const std::vector<JsonValue> elements = list->Elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto uri = elements[i].Is(Kind::Object) ? Find(elements[i].Members(), "uri") : std::nullopt;
        if (uri && uri->Is(Kind::String)) {
            model.uris.push_back({name + "[" + std::to_string(i) + "].uri", uri->GetSpan(), uri->String()});
        }
    }
}

}  // namespace model_reading

std::string NameOf(const NodeEntry& node, const std::string& json) {
    return node.named ? JsonValue(json, node.NameText()).String() : std::string();
}

Trs SignsOfScale(std::uint8_t negativeScale) {
    Trs trs;
    for (int i = 0; i < 3; ++i) {
        trs.scale[i] = (negativeScale & (1 << i)) != 0 ? -1 : 1;
    }
    return trs;
}

GltfModel ReadGltfModel(const std::string& json, const std::string& source, bool keepScannedTrs) {
    return model_reading::ModelReader(json, source, keepScannedTrs).Read();
}

}  // namespace driver::gltf
