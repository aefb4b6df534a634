#include "scene/gltf/gltf_model.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_set>

#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_object.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "scene/scene_error.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

std::string NodeName(std::size_t index) { return "nodes[" + std::to_string(index) + "]"; }

std::string IndexRange(std::size_t count) {
    return count == 0 ? "there are none" : "0 to " + std::to_string(count - 1);
}

class ModelReader {
public:
    ModelReader(const std::string& json, const std::string& source) : json_(json), source_(source) {}

    GltfModel Read() {
        const std::vector<JsonMember> top = Unique(TopMembers(), "the file");
        CheckVersion(Find(top, "asset"));
        GltfModel model;
        if (const auto nodes = Find(top, "nodes")) {
            if (!nodes->Is(Kind::Array)) {
                Fail("nodes", nodes->GetSpan(), "must be an array of nodes");
            }
            model.nodesArray = nodes->GetSpan();
            ReadNodes(nodes->Elements(), model);
        }
        CheckHierarchy(model);
        FindObjectNodes(model);
        ReadScene(top, model);
        if (const auto animations = Find(top, "animations")) {
            model.channels = ChannelTargets(*animations, model.nodes.size());
        }
        model.animated = AnimatedNodes(model.channels, model.nodes.size());
        ReadUris(Find(top, "buffers"), "buffers", model);
        ReadUris(Find(top, "images"), "images", model);
        return model;
    }

private:
    std::vector<JsonMember> TopMembers() const {
        std::optional<std::vector<JsonMember>> members;
        try {
            members = JsonObjectDocument(json_);
        } catch (const JsonSyntaxError& e) {
            ScenePlace place;
            place.text = e.place;
            throw SceneFileError(SceneErrorText(source_, place, std::string("malformed JSON: ") + e.what()));
        }
        if (!members) {
            Fail("the file", "must hold one JSON object");
        }
        return std::move(*members);
    }

    // The message names the place in the JSON text (for GLB, in its JSON
    // chunk) where `at` begins, and a node being read by its name too.
    [[noreturn]] void Fail(const std::string& where, std::optional<Span> at, const std::string& what) const {
        ScenePlace place;
        if (at) {
            place.text = PlaceOf(at->begin);
        }
        const std::string own = NodeName(node_);
        if (nodeName_ && where.compare(0, own.size(), own) == 0 &&
            (where.size() == own.size() || where[own.size()] == '.')) {
            const std::string rest = where.substr(std::min(where.size(), own.size() + 1));
            throw SceneFileError(SceneErrorText(source_, place, "node " + QuotedExcerpt(*nodeName_) + " (" + own +
                                                                    "): " + (rest.empty() ? "" : rest + ": ") + what));
        }
        throw SceneFileError(SceneErrorText(source_, place, where + ": " + what));
    }
    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        Fail(where, std::nullopt, what);
    }

    // Line and column, in bytes from 1, of a byte of the JSON text.
    TextPlace PlaceOf(std::size_t offset) const {
        const auto end = json_.begin() + static_cast<std::ptrdiff_t>(std::min(offset, json_.size()));
        const auto lineStart = std::find(std::make_reverse_iterator(end), json_.rend(), '\n').base();
        TextPlace place;
        place.line = 1 + static_cast<std::size_t>(std::count(json_.begin(), end, '\n'));
        place.column = 1 + static_cast<std::size_t>(end - lineStart);
        return place;
    }

    // An object's members; one key twice is refused, as readers differ on
    // which one counts.
    std::vector<JsonMember> Members(const JsonValue& object, const std::string& where) const {
        return Unique(object.Members(), where);
    }
    std::vector<JsonMember> Unique(std::vector<JsonMember> members, const std::string& where) const {
        std::unordered_set<std::string_view> keys;
        for (const JsonMember& member : members) {
            if (!keys.insert(member.key).second) {
                Fail(where, member.keySpan, "has the member " + QuotedExcerpt(member.key) + " twice");
            }
        }
        return members;
    }

    static std::optional<JsonValue> Find(const std::vector<JsonMember>& members, const std::string& key) {
        for (const JsonMember& member : members) {
            if (member.key == key) {
                return member.value;
            }
        }
        return std::nullopt;
    }

    void CheckVersion(const std::optional<JsonValue>& asset) const {
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

    // `count` finite numbers that single precision can hold.
    void Numbers(const JsonValue& value, std::size_t count, double* out, const std::string& where) const {
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
                     std::string(elements[i].Raw()) + " is not finite in single precision");
            }
            out[i] = number;
        }
    }

    std::size_t Index(const JsonValue& value, std::size_t count, const std::string& where,
                      const std::string& what) const {
        const std::optional<std::size_t> index = value.Is(Kind::Number) ? value.Index() : std::nullopt;
        if (!index) {
            Fail(where, value.GetSpan(), "must be " + what + " index");
        }
        if (*index >= count) {
            Fail(where, value.GetSpan(),
                 std::to_string(*index) + " is not " + what + " index (" + IndexRange(count) + ")");
        }
        return *index;
    }

    // An index of something the tools do not look into (a mesh, a camera, a
    // light): only its type is the tools' business.
    void IndexType(const JsonValue& value, const std::string& where, const std::string& what) const {
        if (!value.Is(Kind::Number) || !value.Index()) {
            Fail(where, value.GetSpan(), "must be " + what + " index");
        }
    }

    std::string Name(const JsonValue& value, const std::string& where) const {
        if (!value.Is(Kind::String)) {
            Fail(where, value.GetSpan(), "must be a string");
        }
        std::string name = value.String();
        if (name.find('\0') != std::string::npos) {
            Fail(where, value.GetSpan(), "a name cannot hold a NUL character");
        }
        return name;
    }

    void ReadNodes(const std::vector<JsonValue>& elements, GltfModel& model) const {
        model.nodes.resize(elements.size());
        for (std::size_t i = 0; i < elements.size(); ++i) {
            node_ = i;
            ReadNode(elements[i], i, model);
            nodeName_.reset();
        }
    }

    void ReadNode(const JsonValue& value, std::size_t index, GltfModel& model) const {
        const std::string where = NodeName(index);
        if (!value.Is(Kind::Object)) {
            Fail(where, value.GetSpan(), "must be a node object");
        }
        NodeEntry& node = model.nodes[index];
        node.object = value.GetSpan();
        const std::vector<JsonMember> members = Members(value, where);
        if (const auto name = Find(members, "name")) {
            node.named = true;
            node.name = Name(*name, where + ".name");
            nodeName_ = node.name;
        }
        if (const auto children = Find(members, "children")) {
            ReadChildren(*children, index, model);
        }
        ReadLocal(members, node, where);

        const auto mesh = Find(members, "mesh");
        const auto camera = Find(members, "camera");
        if (mesh) {
            IndexType(*mesh, where + ".mesh", "a mesh");
        }
        if (camera) {
            IndexType(*camera, where + ".camera", "a camera");
        }
        bool light = false;
        bool objectExtension = false;  // an extension that belongs to the object: a light, instances
        if (const auto extensions = Find(members, "extensions")) {
            if (!extensions->Is(Kind::Object)) {
                Fail(where + ".extensions", extensions->GetSpan(), "must be an object");
            }
            const std::vector<JsonMember> used = Members(*extensions, where + ".extensions");
            objectExtension = std::any_of(used.begin(), used.end(),
                                          [](const JsonMember& m) { return IsObjectExtension(m.key); });
            light = Find(used, "EXT_lights_ies").has_value();
            if (const auto lights = Find(used, "KHR_lights_punctual")) {
                const std::string at = where + ".extensions.KHR_lights_punctual";
                const auto lightIndex = lights->Is(Kind::Object) ? Find(Members(*lights, at), "light") : std::nullopt;
                if (!lightIndex) {
                    Fail(at, lights->GetSpan(), "must be an object with a \"light\" index");
                }
                IndexType(*lightIndex, at + ".light", "a light");
                light = true;
            }
        }
        if (const auto extras = Find(members, "extras"); extras && extras->Is(Kind::Object)) {
            const auto mark = Find(extras->Members(), kObjectOfKey);
            const auto parent = mark && mark->Is(Kind::Number) ? mark->Index() : std::nullopt;
            node.objectOf = parent ? *parent : kNoNode;
        }
        node.objectClass = mesh ? kGeometryClass : camera ? kCameraClass : light ? kLightClass : kHelperClass;
        node.skinned = Find(members, "skin").has_value();
        node.ownsObject = mesh || camera || objectExtension || node.skinned || Find(members, "weights");
        node.holdsObject = mesh || camera || objectExtension;
    }

    void ReadChildren(const JsonValue& value, std::size_t index, GltfModel& model) const {
        const std::string where = NodeName(index) + ".children";
        if (!value.Is(Kind::Array)) {
            Fail(where, value.GetSpan(), "must be an array of node indices");
        }
        const std::vector<JsonValue> elements = value.Elements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            const std::size_t child = Index(elements[i], model.nodes.size(), where + "[" + std::to_string(i) + "]",
                                            "a node");
            std::size_t& parent = model.nodes[child].parent;
            if (parent != kNoNode) {
                Fail(NodeName(child), elements[i].GetSpan(),
                     parent == index ? "is listed twice among the children of " + NodeName(index)
                                     : "is a child of both " + NodeName(parent) + " and " + NodeName(index));
            }
            parent = index;
            model.nodes[index].children.push_back(child);
        }
    }

    void ReadLocal(const std::vector<JsonMember>& members, NodeEntry& node, const std::string& where) const {
        const auto matrix = Find(members, "matrix");
        const auto translation = Find(members, "translation");
        const auto rotation = Find(members, "rotation");
        const auto scale = Find(members, "scale");
        if (matrix && (translation || rotation || scale)) {
            Fail(where, matrix->GetSpan(), "has both a \"matrix\" and a translation, rotation or scale");
        }
        if (matrix) {
            double m[16];
            Numbers(*matrix, 16, m, where + ".matrix");
            if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
                Fail(where + ".matrix", matrix->GetSpan(),
                     "is not an affine transform: its last row must be 0, 0, 0, 1");
            }
            node.hasMatrix = true;
            node.local = AffineOfMatrix(m);
            Trs decomposed;
            if (TrsOfAffine(node.local, Trs(), decomposed)) {
                node.trs = decomposed;
            }
            return;
        }
        if (translation) {
            Numbers(*translation, 3, node.trs.translation, where + ".translation");
        }
        if (rotation) {
            double* q = node.trs.rotation;
            Numbers(*rotation, 4, q, where + ".rotation");
            const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            if (!(length > 0) || !std::isfinite(length)) {
                Fail(where + ".rotation", rotation->GetSpan(), "is not a rotation quaternion");
            }
            for (int i = 0; i < 4; ++i) {
                q[i] /= length;
            }
        }
        if (scale) {
            Numbers(*scale, 3, node.trs.scale, where + ".scale");
        }
        node.local = AffineOfTrs(node.trs);
    }

    // Every node has one parent at most (ReadChildren); a chain of parents
    // that comes back to where it started is a cycle.
    void CheckHierarchy(const GltfModel& model) const {
        enum class Seen { No, OnPath, Done };
        std::vector<Seen> seen(model.nodes.size(), Seen::No);
        for (std::size_t start = 0; start < model.nodes.size(); ++start) {
            std::vector<std::size_t> path;
            std::size_t at = start;
            while (at != kNoNode && seen[at] == Seen::No) {
                seen[at] = Seen::OnPath;
                path.push_back(at);
                at = model.nodes[at].parent;
            }
            if (at != kNoNode && seen[at] == Seen::OnPath) {
                // The cycle from `at` down through its children back to it.
                std::string cycle = NodeName(at);
                for (std::size_t n = model.nodes[at].parent; n != at; n = model.nodes[n].parent) {
                    cycle = NodeName(n) + " -> " + cycle;
                }
                Fail(NodeName(at), model.nodes[at].object, "is its own ancestor: " + NodeName(at) + " -> " + cycle);
            }
            for (const std::size_t n : path) {
                seen[n] = Seen::Done;
            }
        }
    }

    // A child marked as holding its parent's object, where the parent holds
    // none itself, becomes the parent's object again; the first such child
    // counts, any other stays a node.
    void FindObjectNodes(GltfModel& model) const {
        for (std::size_t index = 0; index < model.nodes.size(); ++index) {
            NodeEntry& node = model.nodes[index];
            if (node.ownsObject) {
                continue;
            }
            for (const std::size_t child : node.children) {
                if (model.nodes[child].objectOf == index && model.nodes[child].children.empty()) {
                    node.objectNode = child;
                    node.objectClass = model.nodes[child].objectClass;
                    model.nodes[child].holdsParentObject = true;
                    break;
                }
            }
        }
    }

    void ReadScene(const std::vector<JsonMember>& top, GltfModel& model) const {
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

    // The URIs that a written file may have to rewrite; entries that are
    // not objects with a string "uri" are not the tools' business.
    void ReadUris(const std::optional<JsonValue>& list, const std::string& name, GltfModel& model) const {
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

    const std::string& json_;
    const std::string& source_;
    // The node being read, and its name once read.
    mutable std::size_t node_ = 0;
    mutable std::optional<std::string> nodeName_;
};

}  // namespace

GltfModel ReadGltfModel(const std::string& json, const std::string& source) {
    return ModelReader(json, source).Read();
}

}  // namespace driver::gltf
