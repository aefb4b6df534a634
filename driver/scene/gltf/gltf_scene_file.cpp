#include "scene/gltf/gltf_scene_file.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "files/input_file.h"
#include "files/native_path.h"
#include "json/json_text.h"
#include "scene/gltf/glb_container.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_node_text.h"
#include "scene/gltf/gltf_object.h"
#include "scene/gltf/gltf_skin_matrices.h"
#include "scene/gltf/gltf_uri.h"
#include "scene/gltf/json_edit.h"
#include "text/name_text.h"
#include "text/utf8.h"

namespace driver::gltf {

namespace {

using standin::StandinNode;
using standin::StandinScene;

constexpr const char* kUnnamedSceneRoot = "Scene Root";

// Whether two matrices hold the same numbers, as read or as written.
bool ExactlyEqual(const NodeMatrix& a, const NodeMatrix& b) {
    for (int r = 0; r < 4; ++r) {
        if (a.row[r] != b.row[r]) {
            return false;
        }
    }
    return true;
}

// The nodes that are joints of a skin, by glTF index.
std::unordered_set<std::size_t> JointNodes(const SkinModel& skins) {
    std::unordered_set<std::size_t> joints;
    for (const SkinEntry& skin : skins.skins) {
        joints.insert(skin.joints.begin(), skin.joints.end());
    }
    return joints;
}

// The scene of a .gltf or .glb file and what writing it back needs.
class GltfSceneFile final : public SceneFile, private standin::NodeEditListener, private standin::PivotLock {
public:
    GltfSceneFile(const SourceBytes& bytes, const std::string& path, bool glb, SceneUse use)
        : source_(path), glb_(glb), textKept_(use == SceneUse::Written) {
        if (glb_) {
            GlbParts parts = ReadGlb(bytes, path);
            head_ = std::move(parts.head);
            padding_ = std::move(parts.padding);
            json_ = std::move(parts.json);
            bytes_ = bytes;
            chunksAt_ = parts.chunksAt;
            chunksSize_ = parts.chunksSize;
            binaryAt_ = parts.binaryAt;
            binarySize_ = parts.binarySize;
        } else {
            json_ = bytes.Whole();
        }
        model_ = ReadGltfModel(*json_, path);
        jointLocks_ = JointLocks(model_.skins, model_.channels, model_.animationNames, glb_);
        BuildScene();  // reads the nodes' names and local transforms from the text
        if (textKept_) {
            nodeTexts_ = NodeTextsOf(model_);
            OpenBufferFiles();
        } else {
            json_.reset();
            bytes_ = SourceBytes();
        }
        for (std::size_t index = 1; index < order_.size(); ++index) {
            if (model_.nodes[records_[index].gltf].skinned) {
                skinnedNodes_.insert(index);
            }
        }
        // The scene holds the nodes now; writing needs only their texts.
        nodeCount_ = model_.nodes.size();
        std::deque<NodeEntry>().swap(model_.nodes);
        std::vector<std::uint32_t>().swap(model_.children);
        document_.scene->AddEditListener(*this);
        document_.scene->SetPivotLock(this);
    }
    ~GltfSceneFile() override {
        document_.scene->SetPivotLock(nullptr);
        document_.scene->RemoveEditListener(*this);
    }
    GltfSceneFile(const GltfSceneFile&) = delete;
    GltfSceneFile& operator=(const GltfSceneFile&) = delete;

    FileContent Written(const std::string& path, const std::vector<std::size_t>& selection) override;
    std::vector<std::string> ReferencedFiles() const override {
        std::vector<std::string> files;
        for (const UriEntry& uri : model_.uris) {
            if (const std::optional<std::filesystem::path> file = UriFile(uri.uri, FolderOf(source_))) {
                files.push_back(file->string());
            }
        }
        return files;
    }
    std::string ObjectPlacedElsewhere(const StandinNode& node) const override {
        return skinnedNodes_.count(IndexOf(node)) != 0
                   ? "its mesh is skinned, and glTF places a skinned mesh by its joints"
                   : "";
    }
    NodeSource SourceOf(std::size_t index) const override {
        NodeSource source;
        if (index == 0 || index >= records_.size()) {
            return source;
        }
        const NodeRecord& record = records_[index];
        source.fileNode = record.gltf;
        const auto moved = objectNodes_.find(index);
        source.objectNode = moved != objectNodes_.end() ? moved->second : record.gltf;
        for (unsigned bit = 0; bit < kHoldCount; ++bit) {
            if ((record.holds & (1u << bit)) != 0) {
                source.holds.push_back(kHoldNames[bit]);
            }
        }
        return source;
    }
    AnimatedParts DrivenByAnimation(const StandinNode& node) const override {
        const std::size_t index = IndexOf(node);
        return index != kNoNode && index > 0 ? model_.animated[records_[index].gltf] : AnimatedParts();
    }

    std::string FileNodeName(std::size_t index) const override {
        if (index == 0) {
            return model_.scene.index ? "scenes[" + std::to_string(*model_.scene.index) + "]" : "";
        }
        return index < records_.size() ? "nodes[" + std::to_string(records_[index].gltf) + "]" : "";
    }

private:
    // A node of the stand-in scene as it was read; index 0 is the root. Its
    // name is the glTF node's, its transform is in transforms_ and its
    // object offset, where it has one, in objectOffsets_.
    struct NodeRecord {
        std::uint32_t gltf = 0;
        std::uint32_t parent = 0;  // pre-order index
        std::uint8_t holds = 0;    // bit i: kHoldNames[i]
    };
    // What SourceOf names, in its order. A joint is the node itself, not
    // the object it holds.
    static constexpr const char* kHoldNames[] = {"mesh", "skin", "camera", "light", "instances", "weights", "joint"};
    static constexpr unsigned kHoldCount = sizeof kHoldNames / sizeof kHoldNames[0];
    static constexpr unsigned kJointBit = 1u << 6;
    static std::uint8_t HoldsOf(const NodeEntry& entry) {
        const unsigned kind = entry.objectKind;
        return static_cast<std::uint8_t>((kind == NodeEntry::kGeometry ? 1u : 0u) | (entry.skinned ? 2u : 0u) |
                                         (kind == NodeEntry::kCamera ? 4u : 0u) |
                                         (kind == NodeEntry::kLight ? 8u : 0u) | (entry.instanced ? 16u : 0u) |
                                         (entry.weighted ? 32u : 0u));
    }

    void BuildScene();
    // Before the first edit of a node's placement every transform is as
    // read: that is when they are kept, to tell later which ones changed.
    // A run that only renames keeps none.
    void BeforeNodeEdit(const StandinNode&, standin::NodeEdit what) override {
        if (what == standin::NodeEdit::Placement && transforms_.empty()) {
            transforms_.reserve(order_.size());
            for (const StandinNode* node : order_) {
                transforms_.push_back(node->Transform());
            }
        }
    }
    // A joint whose skin's vertices could not stay in place keeps its pivot.
    std::string PivotLockReason(const StandinNode& node) const override {
        const std::size_t index = IndexOf(node);
        const auto lock = index != kNoNode && index > 0 ? jointLocks_.find(records_[index].gltf) : jointLocks_.end();
        return lock != jointLocks_.end() ? lock->second : std::string();
    }
    // The pre-order index of a node of the scene, or kNoNode.
    std::size_t IndexOf(const StandinNode& node) const;
    NodeMatrix ObjectOffsetAsRead(std::size_t index) const {
        const auto found = objectOffsets_.find(index);
        return found != objectOffsets_.end() ? found->second : NodeMatrix();
    }
    // The steps of Written: the scene's own changes, the nodes', then the
    // edits of the JSON text and the file around it.
    std::vector<MemberChange> RootChanges(const std::string& path) const;
    void WriteNode(std::size_t index, const std::string& path, std::vector<MemberChange>& changes, TextEdits& edits);
    void EditAddedNodes(TextEdits& edits) const;
    // The inverse bind matrices of the joints whose pivots moved.
    void EditJoints(const std::string& path, TextEdits& edits) const;
    // The files of the buffers that the skins' matrices may be read from,
    // held open from now, so that what is read is the file that was read.
    void OpenBufferFiles();
    BufferPlace PlaceOfBuffer(std::size_t buffer) const;
    void EditChannels(TextEdits& edits) const;
    void EditUris(const std::string& target, const std::string& path, TextEdits& edits) const;
    FileContent WholeFile(TextEdits edits, const std::string& path) const;
    // A change of a buffer file whose bytes may be in the content refuses it.
    void MadeFromBuffers(FileContent& content) const {
        for (const SourceBytes& file : bufferFiles_) {
            file.MadeInto(content);
        }
    }
    void MoveObjectOntoChild(std::size_t index, const std::string& path, std::vector<MemberChange>& changes);
    [[noreturn]] void Fail(const std::string& path, std::size_t index, const std::string& what) const;

    std::string source_;
    bool glb_ = false;
    bool textKept_ = true;  // else the scene is only looked at and never written
    // The texts as read, shared with the contents written from them.
    std::string head_;  // a GLB file's header and its JSON chunk's
    std::shared_ptr<const std::string> json_;
    std::string padding_;  // the zero bytes after a GLB file's JSON
    // A GLB file's bytes, where its chunks after the JSON are copied from:
    // [chunksAt_, chunksAt_ + chunksSize_). Its binary chunk's data is
    // [binaryAt_, binaryAt_ + binarySize_), for a positioned read.
    SourceBytes bytes_;
    std::uint64_t chunksAt_ = 0;
    std::uint64_t chunksSize_ = 0;
    std::uint64_t binaryAt_ = 0;
    std::uint64_t binarySize_ = 0;
    // By buffer, where the scene has skins: its file, opened, or why not.
    std::vector<SourceBytes> bufferFiles_;
    std::vector<std::string> bufferMissing_;
    GltfModel model_;  // without its nodes once the scene is built
    std::size_t nodeCount_ = 0;
    std::vector<NodeText> nodeTexts_;  // by glTF index, where the scene may be written
    std::vector<StandinNode*> order_;  // pre-order
    std::vector<NodeRecord> records_;
    std::vector<NodeMatrix> transforms_;  // as read, by pre-order index; empty until a placement is edited
    std::string rootName_;
    std::unordered_map<std::size_t, NodeMatrix> objectOffsets_;
    std::unordered_map<std::size_t, std::string> jointLocks_;   // by glTF index
    std::unordered_set<std::size_t> skinnedNodes_;              // by pre-order index: their joints place their meshes
    std::unordered_map<std::size_t, std::size_t> objectNodes_;  // pre-order index -> the marked child's glTF index

    // While writing: the nodes added, and the node that now holds the
    // object of each node whose object moved.
    std::vector<std::string> addedNodes_;
    std::unordered_map<std::size_t, std::size_t> objectMovedTo_;
};

void GltfSceneFile::BuildScene() {
    const SceneEntry& scene = model_.scene;
    document_.scene = std::make_unique<StandinScene>(scene.named ? scene.name : kUnnamedSceneRoot);
    StandinScene& stage = *document_.scene;
    stage.Root().GetObject().superClass = kHelperClass;
    order_.push_back(&stage.Root());
    records_.push_back({});
    rootName_ = stage.Root().Name();

    auto finite = [&](const NodeMatrix& matrix, std::size_t node, const char* what) {
        if (!standin::IsFinite(matrix)) {
            throw SceneFileError(source_ + ": nodes[" + std::to_string(node) + "]: " + what +
                                 " is not finite in single precision");
        }
        return matrix;
    };
    // Depth first, parents before children, children in their order.
    struct Pending {
        std::size_t node;
        std::size_t parent;
        standin::Affine parentWorld;
    };
    const std::unordered_set<std::size_t> joints = JointNodes(model_.skins);
    std::vector<Pending> pending;
    for (auto root = scene.roots.rbegin(); root != scene.roots.rend(); ++root) {
        pending.push_back({*root, 0, standin::Affine()});
    }
    while (!pending.empty()) {
        const Pending current = pending.back();
        pending.pop_back();
        const NodeEntry& entry = model_.nodes[current.node];
        const standin::Affine world =
            standin::FirstThen(LocalTransform(model_, *json_, current.node), current.parentWorld);
        StandinNode& node = stage.AddNode(*order_[current.parent], NameOf(entry, *json_),
                                          finite(standin::ToNodeMatrix(world), current.node, "its world transform"));
        node.GetObject().superClass = entry.ObjectClass();
        const std::size_t index = order_.size();
        if (entry.objectNode != kNoNode) {
            node.SetObjectOffset(finite(standin::ToNodeMatrix(LocalTransform(model_, *json_, entry.objectNode)),
                                        entry.objectNode, "the transform of the node's object"));
            objectOffsets_[index] = node.ObjectOffset();
            objectNodes_[index] = entry.objectNode;
        }
        order_.push_back(&node);
        const NodeEntry& object = entry.objectNode != kNoNode ? model_.nodes[entry.objectNode] : entry;
        const unsigned joint = joints.count(current.node) != 0 ? kJointBit : 0u;
        records_.push_back({static_cast<std::uint32_t>(current.node), static_cast<std::uint32_t>(current.parent),
                            static_cast<std::uint8_t>(HoldsOf(object) | joint)});
        const ChildRange children = model_.Children(entry);
        for (auto child = children.end(); child != children.begin();) {
            if (*--child != entry.objectNode) {
                pending.push_back({*child, index, world});
            }
        }
    }
    // The scene holds the transforms now; nothing reads the local ones again.
    decltype(model_.keptLocals)().swap(model_.keptLocals);
}

// The scene was made in pre-order, the root first, and no node is made
// after it: a node's ordinal is its pre-order index.
std::size_t GltfSceneFile::IndexOf(const StandinNode& node) const {
    const std::size_t ordinal = node.Ordinal();
    return ordinal < order_.size() && order_[ordinal] == &node ? ordinal : kNoNode;
}

void GltfSceneFile::Fail(const std::string& path, std::size_t index, const std::string& what) const {
    const std::string node = index == 0 ? "the scene root" : "nodes[" + std::to_string(records_[index].gltf) + "]";
    throw SceneFileError(path + ": node " + std::to_string(index) + " " + QuotedExcerpt(order_[index]->Name()) + " (" +
                         node + "): " + what);
}

FileContent GltfSceneFile::Written(const std::string& target, const std::vector<std::size_t>&) {
    if (!textKept_) {
        throw std::logic_error("a scene read only to be looked at is written");
    }
    const std::string path = target == "-" ? "standard output" : target;
    addedNodes_.clear();
    objectMovedTo_.clear();
    TextEdits edits;
    edits.Reserve(order_.size());
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
    EditJoints(path, edits);
    EditChannels(edits);
    EditUris(target, path, edits);
    return WholeFile(std::move(edits), path);
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

void GltfSceneFile::EditJoints(const std::string& path, TextEdits& edits) const {
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
            *json_, skins, moved,
            [this](std::size_t buffer, std::uint64_t offset, std::size_t size) {
            return ReadBufferBytes(PlaceOfBuffer(buffer), offset, size);
            },
            edits);
    } catch (const JointMatrixError& e) {
        Fail(path, joints.at(e.node), e.reason);
    }
}

void GltfSceneFile::OpenBufferFiles() {
    const std::vector<std::optional<std::string>>& uris = model_.skins.bufferUris;
    if (model_.skins.skins.empty()) {
        return;
    }
    bufferFiles_.resize(uris.size());
    bufferMissing_.resize(uris.size());
    for (std::size_t buffer = 0; buffer < uris.size(); ++buffer) {
        const std::optional<std::filesystem::path> file = uris[buffer] ? UriFile(*uris[buffer], FolderOf(source_))
                                                                       : std::nullopt;
        if (!file) {
            bufferMissing_[buffer] = "buffers[" + std::to_string(buffer) + "] names no file";
            continue;
        }
        try {
            bufferFiles_[buffer] = SourceBytes::OfFile(NativeText(*file));
        } catch (const InputFileError& e) {
            // Only matrices that are read from it need it.
            bufferMissing_[buffer] = e.what();
        }
    }
}

BufferPlace GltfSceneFile::PlaceOfBuffer(std::size_t buffer) const {
    BufferPlace place;
    const std::optional<std::string>& uri = model_.skins.bufferUris[buffer];
    if (!uri) {
        place.file = &bytes_;
        place.at = binaryAt_;
        place.size = binarySize_;
        place.missing = "the GLB file has no binary chunk after its JSON";
        if (binarySize_ == 0 && binaryAt_ == 0) {
            place.file = nullptr;
        }
    } else if (uri->rfind("data:", 0) == 0) {
        place.dataUri = *uri;
    } else if (buffer < bufferFiles_.size() && bufferMissing_[buffer].empty()) {
        place.file = &bufferFiles_[buffer];
        place.size = bufferFiles_[buffer].Size();
    } else {
        place.missing = buffer < bufferMissing_.size() ? bufferMissing_[buffer] : "the buffer was not opened";
    }
    return place;
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

void GltfSceneFile::EditUris(const std::string& target, const std::string& path, TextEdits& edits) const {
    const std::filesystem::path from = FolderOf(source_);
    const std::filesystem::path to = FolderOf(target);
    for (const UriEntry& uri : model_.uris) {
        const std::optional<std::string> rebased = RebasedUri(uri.uri, from, to, path + ": " + uri.where);
        if (rebased && *rebased != uri.uri) {
            edits.Replace(uri.value, JsonString(*rebased));
        }
    }
}

// The JSON with the edits made, and for GLB the file around it: its
// header and padding as they were where the JSON is as it was, else made
// anew for the JSON's new length.
FileContent GltfSceneFile::WholeFile(TextEdits edits, const std::string& path) const {
    FileContent content;
    if (!glb_) {
        content.Add(json_, std::move(edits));
        MadeFromBuffers(content);
        return content;
    }
    edits.Order();
    const bool same = edits.LeaveAsIs(*json_);
    const std::size_t jsonSize = edits.Size(json_->size());
    std::string head = same ? head_ : GlbHead(jsonSize, chunksSize_);
    std::string padding = same ? padding_ : GlbPadding(jsonSize);
    const std::uint64_t size = std::uint64_t{head.size()} + jsonSize + padding.size() + chunksSize_;
    if (size > UINT32_MAX) {
        throw SceneFileError(path + ": the file would be larger than a GLB file can be (4 GiB)");
    }
    content.Add(std::move(head));
    content.Add(json_, std::move(edits));
    content.Add(std::move(padding));
    bytes_.AddTo(content, chunksAt_, chunksSize_);
    MadeFromBuffers(content);
    return content;
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

    const StandinNode& parent = *order_[record.parent];
    const bool placed = !transforms_.empty();
    const bool parentMoved = placed && record.parent != 0 &&
                             !ExactlyEqual(parent.Transform(), transforms_[record.parent]);
    if (parentMoved || (placed && !ExactlyEqual(node.Transform(), transforms_[index]))) {
        standin::Affine parentInverse;
        if (!standin::Invert(standin::ToAffine(record.parent == 0 ? NodeMatrix() : parent.Transform()),
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
    if (!changes.empty()) {
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

}  // namespace

std::unique_ptr<SceneFile> ParseGltfScene(const SourceBytes& bytes, const std::string& path, SceneUse use) {
    return std::make_unique<GltfSceneFile>(bytes, path, false, use);
}

std::unique_ptr<SceneFile> ParseGlbScene(const SourceBytes& bytes, const std::string& path, SceneUse use) {
    return std::make_unique<GltfSceneFile>(bytes, path, true, use);
}

}  // namespace driver::gltf
