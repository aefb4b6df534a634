#include "scene/gltf/gltf_skins.h"

#include <algorithm>

#include "text/name_text.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;

SkinEntry ReadSkin(const JsonValue& value, std::size_t nodeCount) {
    SkinEntry skin;
    skin.object = value.GetSpan();
    const auto name = value.Member("name");
    skin.name = name && name->Is(Kind::String) ? name->String() : std::string();
    const auto joints = value.Member("joints");
    for (const JsonValue& joint : joints && joints->Is(Kind::Array) ? joints->Elements() : std::vector<JsonValue>()) {
        const auto index = IndexIn(joint);
        skin.joints.push_back(index && *index < nodeCount ? *index : kNoSkinNode);
    }
    skin.matrices = IndexIn(value.Member("inverseBindMatrices"));
    return skin;
}

}  // namespace

SkinModel ReadSkins(const std::vector<JsonMember>& top, std::size_t nodeCount) {
    SkinModel model;
    const auto skins = std::find_if(top.begin(), top.end(), [](const JsonMember& m) { return m.key == "skins"; });
    if (skins != top.end() && skins->value.Is(Kind::Array)) {
        for (const JsonValue& skin : skins->value.Elements()) {
            model.skins.push_back(ReadSkin(skin, nodeCount));
        }
    }
    return model;
}

std::string SkinName(const SkinModel& model, std::size_t skin) {
    const std::string& name = model.skins[skin].name;
    return "skin " + std::to_string(skin) + (name.empty() ? "" : " " + Quoted(name));
}

std::optional<std::string> MatricesFault(const SkinModel& model, const BufferModel& data, std::size_t skin, bool glb) {
    const SkinEntry& entry = model.skins[skin];
    return entry.matrices ? AccessorFault(data, *entry.matrices, 16, entry.joints.size(), glb) : std::nullopt;
}

std::unordered_map<std::size_t, std::string> JointLocks(const SkinModel& model, const BufferModel& data, bool glb) {
    std::unordered_map<std::size_t, std::string> locks;
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        const std::optional<std::string> fault = MatricesFault(model, data, s, glb);
        if (!fault) {
            continue;
        }
        for (const std::size_t joint : model.skins[s].joints) {
            if (joint != kNoSkinNode && locks.count(joint) == 0) {
                locks[joint] = "it is a joint of " + SkinName(model, s) +
                               ", whose inverse bind matrices cannot be read: " + *fault;
            }
        }
    }
    return locks;
}

}  // namespace driver::gltf
