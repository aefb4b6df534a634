#include "scene/gltf/gltf_object.h"

#include <algorithm>
#include <iterator>

#include "json/json_text.h"

namespace driver::gltf {

namespace {

constexpr const char* kObjectMembers[] = {"mesh", "weights", "camera"};
constexpr const char* kObjectExtensions[] = {"KHR_lights_punctual", "EXT_lights_ies", "EXT_mesh_gpu_instancing"};

bool IsObjectMember(const std::string& key) {
    return std::find(std::begin(kObjectMembers), std::end(kObjectMembers), key) != std::end(kObjectMembers);
}

std::optional<JsonValue> Member(const JsonValue& object, const std::string& key) {
    for (const JsonMember& member : object.Members()) {
        if (member.key == key) {
            return member.value;
        }
    }
    return std::nullopt;
}

// The node's "children" with `child` appended, in their own layout.
std::string ChildrenWith(const JsonValue& node, std::size_t child) {
    const auto children = Member(node, "children");
    if (!children) {
        return "[" + std::to_string(child) + "]";
    }
    const auto [at, text] = ArrayAppendix(*children, {std::to_string(child)});
    std::string extended(children->Raw());
    extended.insert(at - children->GetSpan().begin, text);
    return extended;
}

}  // namespace

bool IsObjectExtension(const std::string& name) {
    return std::find(std::begin(kObjectExtensions), std::end(kObjectExtensions), name) != std::end(kObjectExtensions);
}

ObjectMove MoveObject(const JsonValue& node, std::size_t parent, std::size_t child,
                      const std::vector<MemberChange>& local) {
    ObjectMove move;
    std::vector<std::pair<std::string, std::string>> members;
    for (const JsonMember& member : node.Members()) {
        if (IsObjectMember(member.key)) {
            members.emplace_back(member.key, std::string(member.value.Raw()));
            move.nodeChanges.push_back({member.key, std::nullopt});
        }
    }
    if (const auto extensions = Member(node, "extensions"); extensions && extensions->Is(JsonValue::Kind::Object)) {
        std::vector<std::pair<std::string, std::string>> moved;
        std::vector<MemberChange> left;
        for (const JsonMember& extension : extensions->Members()) {
            if (IsObjectExtension(extension.key)) {
                moved.emplace_back(extension.key, std::string(extension.value.Raw()));
                left.push_back({extension.key, std::nullopt});
            }
        }
        if (!moved.empty()) {
            members.emplace_back("extensions", NewObjectLike(*extensions, moved));
            const bool none = moved.size() == extensions->Members().size();
            move.nodeChanges.push_back(
                {"extensions", none ? std::nullopt : std::optional(ChangedObject(*extensions, left))});
        }
    }
    for (const MemberChange& change : local) {
        if (change.value) {
            members.emplace_back(change.key, *change.value);
        }
    }
    members.emplace_back("extras", "{" + JsonString(kObjectOfKey) + ": " + std::to_string(parent) + "}");
    move.child = NewObjectLike(node, members);
    move.nodeChanges.push_back({"children", ChildrenWith(node, child)});
    return move;
}

std::optional<std::string> RetargetedChannel(const ChannelTarget& target, std::size_t from, std::size_t to) {
    if (target.node != from) {
        return std::nullopt;
    }
    if (!target.pointer) {
        return target.property == "weights" ? std::optional(std::to_string(to)) : std::nullopt;
    }
    // The pointer below the node: "weights", "extensions/EXT_lights_ies/multiplier", ...
    const std::string& below = target.property;
    const std::string first = below.substr(0, below.find('/'));
    const std::string extensions = "extensions/";
    const bool moved =
        IsObjectMember(first) ||
        (below.compare(0, extensions.size(), extensions) == 0 &&
         IsObjectExtension(below.substr(extensions.size(), below.find('/', extensions.size()) - extensions.size())));
    if (!moved) {
        return std::nullopt;
    }
    return JsonString("/nodes/" + std::to_string(to) + "/" + below);
}

}  // namespace driver::gltf
