#include "scene/gltf/gltf_scene_file_class.h"

#include <stdexcept>

#include "json/json_text.h"
#include "scene/gltf/gltf_channel_keys.h"
#include "scene/gltf/gltf_object.h"
#include "scene/gltf/gltf_same_placement.h"
#include "scene/gltf/gltf_skin_matrices.h"
#include "scene/gltf/gltf_uri.h"
#include "text/refusal.h"
#include "text/utf8.h"

namespace driver::gltf {

using standin::StandinNode;

FileContent GltfSceneFile::Written(const std::string& target, const std::vector<std::size_t>&) {
    if (!textKept_) {
        throw CodedError(RefusalCode::Failed, "a scene read only to be looked at is written");
    }
    const std::string path = target == "-" ? "standard output" : target;
    addedNodes_.clear();
    objectMovedTo_.clear();
    TextEdits edits;
    edits.Reserve(order_.size());
    FindSamePlaced();
    const std::vector<MemberChange> sceneChanges = RootChanges(path);
    if (!sceneChanges.empty()) {
        EditObject(*json_, model_.scene.object, sceneChanges, edits);
    }
    // Each glTF node takes its changes from one node of the scene: its own,
    // or the node whose object it holds.
    std::vector<MemberChange> changes;
    for (std::size_t index = 1; index < order_.size(); ++index) {
        try {
            WriteNode(index, path, changes, edits);
        } catch (const NotFiniteNumber&) {
            Fail(path, index, "a number of its glTF transform is not finite in single precision");
        }
    }
    EditAddedNodes(edits);
    const bool asGlb = WrittenAsGlb(target);
    const std::optional<MergedLayout> merged = asGlb && !glb_ ? std::optional(LayOutMerged(*json_, model_.data, path))
                                                              : std::nullopt;
    NewData data(*json_, model_.data, PlaceOfNewData(asGlb, merged), edits);
    EditJoints(path, data, edits);
    EditKeys(path, data, edits);
    data.Finish();
    EditChannels(edits);
    EditUris(target, path, merged.has_value(), edits);
    if (merged) {
        EditForMerged(*json_, model_.data, *merged, merged->size + data.BinaryAppendix().size(), data.ViewsTaken(),
                      edits);
        return MergedGlb(std::move(edits), path, *merged, data.BinaryAppendix());
    }
    if (glb_ && !asGlb) {
        EditChunkUri(target, edits);
    }
    return WholeFile(std::move(edits), path, data.BinaryAppendix(), asGlb);
}

std::vector<MemberChange> GltfSceneFile::RootChanges(const std::string& path) const {
    const StandinNode& root = *order_[0];
    // The stand-in keeps the root at the identity; its object offset is
    // the one thing that could change and has no place in a glTF file.
    if (!ExactlyEqual(root.ObjectOffset(), NodeMatrix())) {
        Fail(path, 0, "the scene root is no glTF node: it holds no object to move off its pivot");
    }
    std::vector<MemberChange> sceneChanges;
    if (root.Name() != rootName_) {
        if (!IsValidUtf8(root.Name())) {
            Fail(path, 0, "the name is not UTF-8, as glTF names must be (line 1 of a names file)");
        }
        if (!model_.scene.index) {
            Fail(path, 0, "the file has no scene to take the root's name");
        }
        sceneChanges.push_back({"name", root.Name().empty() ? std::nullopt : std::optional(JsonString(root.Name()))});
    }
    return sceneChanges;
}

void GltfSceneFile::EditAddedNodes(TextEdits& edits) const {
    if (!addedNodes_.empty()) {
        const auto [at, text] = ArrayAppendix(JsonValue(*json_, *model_.nodesArray), addedNodes_);
        edits.Replace({at, at}, text);
    }
}

void GltfSceneFile::EditJoints(const std::string& path, NewData& data, TextEdits& edits) const {
    const SkinModel& skins = model_.skins;
    if (skins.skins.empty() || transforms_.empty()) {
        return;
    }
    std::unordered_map<std::size_t, std::size_t> joints;  // glTF index -> pre-order index
    for (const SkinEntry& skin : skins.skins) {
        for (const std::size_t joint : skin.joints) {
            joints.emplace(joint, kNoNode);
        }
    }
    std::unordered_map<std::size_t, standin::Affine> moved;
    for (std::size_t index = 1; index < order_.size(); ++index) {
        const auto joint = joints.find(records_[index].gltf);
        if (joint == joints.end()) {
            continue;
        }
        const NodeMatrix was = ObjectOffsetAsRead(index);
        if (ExactlyEqual(order_[index]->ObjectOffset(), was)) {
            continue;
        }
        joint->second = index;
        // The skin's vertices follow the joint's object: what the pivot
        // edit left in place stays, what Align moved moves.
        standin::Affine wasInverse;
        if (!standin::Invert(standin::ToAffine(was), wasInverse)) {
            Fail(path, index, "its object's offset as read cannot be inverted");
        }
        moved[joint->first] = standin::FirstThen(wasInverse, standin::ToAffine(order_[index]->ObjectOffset()));
    }
    try {
        EditSkinMatrices(
            *json_, skins, model_.data, moved,
            [this](std::size_t view, std::uint64_t offset, std::size_t size) { return ReadView(view, offset, size); },
            data, edits);
    } catch (const JointMatrixError& e) {
        Fail(path, joints.at(e.node), e.what());
    }
}

void GltfSceneFile::EditChannels(TextEdits& edits) const {
    for (const ChannelTarget& channel : model_.channels) {
        const auto moved = objectMovedTo_.find(channel.node);
        if (moved != objectMovedTo_.end()) {
            if (const auto retargeted = RetargetedChannel(channel, moved->first, moved->second)) {
                edits.Replace(channel.value, *retargeted);
            }
        }
    }
}

void GltfSceneFile::EditUris(const std::string& target, const std::string& path, bool merged, TextEdits& edits) const {
    const std::filesystem::path from = FolderOf(source_);
    const std::filesystem::path to = FolderOf(target);
    for (const UriEntry& uri : model_.uris) {
        if (merged && uri.where.rfind("buffers[", 0) == 0) {
            continue;
        }
        const std::optional<std::string> rebased = RebasedUri(uri.uri, from, to, path + ": " + uri.where);
        if (rebased && *rebased != uri.uri) {
            edits.Replace(uri.value, JsonString(*rebased));
        }
    }
}

void GltfSceneFile::EditKeys(const std::string& path, NewData& data, TextEdits& edits) const {
    std::vector<ChannelKeys> keys;
    const ViewReader read = [this](std::size_t view, std::uint64_t offset, std::size_t size) {
        return ReadView(view, offset, size);
    };
    if (const std::optional<std::string> refusal = animated_.AllFollowingKeys(*this, Animations(), read, keys)) {
        throw SceneFileError(path + ": " + *refusal);  // it names the node
    }
    try {
        EditChannelKeys(*json_, Animations(), keys, read, data, edits);
    } catch (const ChannelKeysError& e) {
        const ChannelTarget& channel = model_.channels[e.channel];
        throw SceneFileError(path + ": " + ChannelName(model_.animations, channel) + ", drives the " +
                             PlacementPart(channel) + " of " + animated_.NameOf(channel.node, *this) + ": " + e.what());
    }
}

// A node whose world transform, or whose parent's, changed gets the local
// transform that keeps it where it now is; a changed name is written; an
// object offset goes onto the node that holds the object.
void GltfSceneFile::WriteNode(std::size_t index, const std::string& path, std::vector<MemberChange>& changes,
                              TextEdits& edits) {
    const StandinNode& node = *order_[index];
    const NodeRecord& record = records_[index];
    const NodeText& entry = nodeTexts_[record.gltf];
    changes.clear();
    const auto same = samePlaced_.find(index);
    if (same != samePlaced_.end()) {
        const std::vector<MemberChange> text = TransformTextOf(*json_, nodeTexts_[records_[same->second].gltf]);
        changes.insert(changes.end(), text.begin(), text.end());
    } else if (LocalRewritten(index)) {
        standin::Affine parentInverse;
        if (!standin::Invert(standin::ToAffine(record.parent == 0 ? NodeMatrix() : WrittenWorld(record.parent)),
                             parentInverse)) {
            Fail(path, index, "its parent's transform cannot be inverted, so its own cannot be given relative to it");
        }
        const auto local = LocalMembers(standin::FirstThen(standin::ToAffine(node.Transform()), parentInverse), entry);
        if (!local) {
            Fail(path, index,
                 "its transform relative to its parent has shear (axes not at right angles), "
                 "which a glTF node cannot hold");
        }
        changes.insert(changes.end(), local->begin(), local->end());
    }
    if (!NamedAsRead(*json_, entry, node.Name())) {
        if (!IsValidUtf8(node.Name())) {
            Fail(path, index,
                 "the name is not UTF-8, as glTF names must be (line " + std::to_string(index + 1) +
                     " of a names file)");
        }
        changes.push_back({"name", node.Name().empty() ? std::nullopt : std::optional(JsonString(node.Name()))});
    }
    // A node without an object, or with a skinned mesh, which its joints
    // place, shows nothing at the pivot's offset: its pivot is its transform.
    if (!ExactlyEqual(node.ObjectOffset(), ObjectOffsetAsRead(index))) {
        if (entry.objectNode == NodeText::kNone) {
            if (entry.holdsObject && !entry.skinned) {
                MoveObjectOntoChild(index, path, changes);
            }
        } else {
            const NodeText& objectNode = nodeTexts_[entry.objectNode];
            const auto local = LocalMembers(standin::ToAffine(node.ObjectOffset()), objectNode);
            if (!local) {
                Fail(path, index, "its object's offset from the pivot has shear, which a glTF node cannot hold");
            }
            EditObject(*json_, objectNode.Object(), *local, edits);
        }
    }
    if (changes.size() == 1 && changes[0].key == "name" && changes[0].value && entry.nameSize != 0) {
        // The reader refuses a node with a key twice and noted where its
        // name lies: no walk over the object to find it again.
        edits.Replace(entry.Name(), *changes[0].value);
    } else if (!changes.empty()) {
        EditObject(*json_, entry.Object(), changes, edits);
    }
}

// The node's object moves onto a new node at the end of "nodes", a child
// whose local transform is the object offset and whose extras mark it as
// the node's object. No index changes.
void GltfSceneFile::MoveObjectOntoChild(std::size_t index, const std::string& path,
                                        std::vector<MemberChange>& changes) {
    const std::size_t gltf = records_[index].gltf;
    const auto local = LocalMembers(standin::ToAffine(order_[index]->ObjectOffset()), NodeText(), true);
    if (!local) {
        Fail(path, index, "its object's offset from the pivot has shear, which a glTF node cannot hold");
    }
    const std::size_t added = nodeCount_ + addedNodes_.size();
    ObjectMove move = MoveObject(JsonValue(*json_, nodeTexts_[gltf].Object()), gltf, added, *local);
    changes.insert(changes.end(), move.nodeChanges.begin(), move.nodeChanges.end());
    addedNodes_.push_back(std::move(move.child));
    objectMovedTo_[gltf] = added;
}

}  // namespace driver::gltf
