#include "scene/gltf/gltf_scene_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <map>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "files/input_file.h"
#include "files/native_path.h"
#include "json/json_text.h"
#include "scene/gltf/glb_container.h"
#include "scene/gltf/gltf_animated_placements.h"
#include "scene/gltf/gltf_bounds.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_channel_keys.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_new_data.h"
#include "scene/gltf/gltf_node_text.h"
#include "scene/gltf/gltf_object.h"
#include "scene/gltf/gltf_same_placement.h"
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
class GltfSceneFile final : public SceneFile,
                            private standin::NodeEditListener,
                            private standin::PivotLock,
                            private SceneFrames {
public:
    GltfSceneFile(const SourceBytes& bytes, const std::string& path, bool glb, SceneUse use)
        : source_(path), glb_(glb), textKept_(use != SceneUse::LookedAt), drawn_(use == SceneUse::Drawn) {
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
        if (textKept_ || use == SceneUse::Listed) {
            OpenBufferFiles();
        }
        if (use == SceneUse::Listed) {
            drawnBoxes_ = DrawnBounds(model_, *json_, glb_,
                                      [this](std::size_t buffer, std::uint64_t at, std::size_t size) {
                return ReadBuffer(buffer, at, size);
            });
            for (const SourceBytes& file : bufferFiles_) {
                file.CheckUnchanged();
            }
        }
        jointLocks_ = JointLocks(model_.skins, model_.data, glb_);
        BuildScene();  // reads the nodes' names and local transforms from the text
        FindAnimatedNodes();
        FindSkinnedMeshes();
        if (textKept_) {
            nodeTexts_ = NodeTextsOf(model_);
        } else {
            json_.reset();
            bytes_ = SourceBytes();
            bufferFiles_.clear();
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
    std::optional<std::string> ObjectPlacedElsewhere(const StandinNode& node) const override {
        if (skinnedNodes_.count(IndexOf(node)) == 0) {
            return std::nullopt;
        }
        return "its mesh is skinned, and glTF places a skinned mesh by its joints";
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
    std::vector<DrawnPlacement> DrawnPlacements(const std::vector<std::size_t>& indices) const override;
    AnimatedParts DrivenByAnimation(const StandinNode& node) const override {
        const std::size_t index = IndexOf(node);
        return index != kNoNode && index > 0 ? model_.animated[records_[index].gltf] : AnimatedParts();
    }
    std::optional<std::string> MotionRefusal(const StandinNode& node) const override;
    std::vector<std::string> MovedWith(const StandinNode& node) const override;

    std::optional<WorldBox> DrawnBox(std::size_t index) const override { return BoxOf(index, drawnBoxes_.world); }
    std::optional<WorldBox> ObjectBox(std::size_t index) const override { return BoxOf(index, drawnBoxes_.object); }

    std::optional<std::string> FileNodeName(std::size_t index) const override {
        if (index == 0 && model_.scene.index) {
            return "scenes[" + std::to_string(*model_.scene.index) + "]";
        }
        if (index == 0 || index >= records_.size()) {
            return std::nullopt;
        }
        return "nodes[" + std::to_string(records_[index].gltf) + "]";
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
    // Where each node whose placement an animation drives is in the scene,
    // and the skinned meshes of each joint, kept while the file's nodes are.
    void FindAnimatedNodes();
    void FindSkinnedMeshes();
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
    std::optional<std::string> PivotLockReason(const StandinNode& node) const override {
        const std::size_t index = IndexOf(node);
        const auto lock = index != kNoNode && index > 0 ? jointLocks_.find(records_[index].gltf) : jointLocks_.end();
        return lock != jointLocks_.end() ? std::optional(lock->second) : std::nullopt;
    }
    // Where the written file places node `index`: where its namesake stood,
    // for a node written with the namesake's numbers; else where it is.
    const NodeMatrix& WrittenWorld(std::size_t index) const {
        const auto same = samePlaced_.find(index);
        return same != samePlaced_.end() ? transforms_[same->second] : order_[index]->Transform();
    }
    // The pre-order index of a node of the scene, or kNoNode.
    std::size_t IndexOf(const StandinNode& node) const;
    NodeMatrix ObjectOffsetAsRead(std::size_t index) const {
        const auto found = objectOffsets_.find(index);
        return found != objectOffsets_.end() ? found->second : NodeMatrix();
    }
    // Whether Written gives the node a new local transform: its world
    // transform, or its parent's, changed.
    bool LocalRewritten(std::size_t index) const;
    // The nodes written with their namesakes' numbers, as the scene stands.
    void FindSamePlaced() const;
    // Of DrawnPlacements: a node's local transform and object offset as
    // the file written now holds them.
    standin::Affine DrawnLocal(std::size_t index) const;
    standin::Affine DrawnOffset(std::size_t index) const;
    // The steps of Written: the scene's own changes, the nodes', then the
    // edits of the JSON text and the file around it.
    std::vector<MemberChange> RootChanges(const std::string& path) const;
    void WriteNode(std::size_t index, const std::string& path, std::vector<MemberChange>& changes, TextEdits& edits);
    void EditAddedNodes(TextEdits& edits) const;
    // The inverse bind matrices of the joints whose pivots moved.
    void EditJoints(const std::string& path, NewData& data, TextEdits& edits) const;
    // The keys of the channels whose nodes' frames, or their parents',
    // changed: what the edit now asks of each animated node, and the keys
    // that follow it, or a refusal naming the node, its animation and its
    // channel.
    std::optional<standin::Affine> Change(std::size_t index) const override;
    std::optional<standin::Affine> ObjectChange(std::size_t index) const override;
    standin::Affine WorldAsRead(std::size_t index) const override {
        return index == 0 ? standin::Affine() : standin::ToAffine(transforms_[index]);
    }
    standin::Affine ObjectWorldAsRead(std::size_t index) const override {
        return standin::FirstThen(standin::ToAffine(ObjectOffsetAsRead(index)), WorldAsRead(index));
    }
    std::size_t ParentOf(std::size_t index) const override { return records_[index].parent; }
    std::string Label(std::size_t index) const override {
        return "node " + std::to_string(index) + " " + Quoted(order_[index]->Name());
    }
    void EditKeys(const std::string& path, NewData& data, TextEdits& edits) const;
    FileAnimations Animations() const {
        return {model_.channels, model_.animations, model_.animated, model_.data, glb_};
    }
    DataPlace PlaceOfNewData() const {
        return {glb_, glb_ && binaryAt_ != 0 ? std::optional(binarySize_) : std::nullopt};
    }
    // `size` bytes of buffer `buffer` from `offset`: a GLB file's binary
    // chunk from the file as it was opened, any other buffer where its URI
    // says. Throws BufferReadError.
    std::string ReadBuffer(std::size_t buffer, std::uint64_t offset, std::size_t size) const;
    // The files of the buffers, held open from now, so that what is read
    // of them is the file that was read.
    void OpenBufferFiles();
    BufferPlace PlaceOfBuffer(std::size_t buffer) const;
    void EditChannels(TextEdits& edits) const;
    void EditUris(const std::string& target, const std::string& path, TextEdits& edits) const;
    FileContent WholeFile(TextEdits edits, const std::string& path, const std::string& binaryAppendix) const;
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
    bool drawn_ = false;    // DrawnPlacements is asked: the local transforms as read are kept
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

    // The box of the glTF node that holds node `index`'s object.
    std::optional<WorldBox> BoxOf(std::size_t index, const std::unordered_map<std::size_t, WorldBox>& boxes) const {
        if (index == 0 || index >= records_.size()) {
            return std::nullopt;
        }
        const auto moved = objectNodes_.find(index);
        const auto box = boxes.find(moved != objectNodes_.end() ? moved->second : records_[index].gltf);
        return box != boxes.end() ? std::optional(box->second) : std::nullopt;
    }
    AnimatedPlacements animated_;
    std::unordered_map<std::size_t, std::vector<std::string>> jointMeshes_;  // glTF joint -> its skinned meshes
    NodeBounds drawnBoxes_;  // by glTF index, for a scene that is listed
    // Where the scene is drawn: the local transforms and object offsets as
    // read, in double precision, by pre-order index.
    std::vector<standin::Affine> localsRead_;
    std::unordered_map<std::size_t, standin::Affine> offsetsRead_;

    // While writing: the nodes added, and the node that now holds the
    // object of each node whose object moved.
    std::vector<std::string> addedNodes_;
    std::unordered_map<std::size_t, std::size_t> objectMovedTo_;
    // By pre-order index: the namesake whose own transform text a node
    // that took its placement is written with (gltf_same_placement.h).
    mutable std::unordered_map<std::size_t, std::size_t> samePlaced_;
};

void GltfSceneFile::BuildScene() {
    const SceneEntry& scene = model_.scene;
    document_.scene = std::make_unique<StandinScene>(scene.named ? scene.name : kUnnamedSceneRoot);
    StandinScene& stage = *document_.scene;
    stage.Root().GetObject().superClass = kHelperClass;
    order_.push_back(&stage.Root());
    records_.push_back({});
    rootName_ = stage.Root().Name();
    if (drawn_) {
        localsRead_.emplace_back();
    }

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
        const standin::Affine local = LocalTransform(model_, *json_, current.node);
        const standin::Affine world = standin::FirstThen(local, current.parentWorld);
        if (drawn_) {
            localsRead_.push_back(local);
        }
        StandinNode& node = stage.AddNode(*order_[current.parent], NameOf(entry, *json_),
                                          finite(standin::ToNodeMatrix(world), current.node, "its world transform"));
        node.GetObject().superClass = entry.ObjectClass();
        const std::size_t index = order_.size();
        if (entry.objectNode != kNoNode) {
            const standin::Affine offset = LocalTransform(model_, *json_, entry.objectNode);
            node.SetObjectOffset(
                finite(standin::ToNodeMatrix(offset), entry.objectNode, "the transform of the node's object"));
            if (drawn_) {
                offsetsRead_[index] = offset;
            }
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

void GltfSceneFile::FindAnimatedNodes() {
    animated_ = AnimatedPlacements(model_);
    if (animated_.Empty()) {
        return;
    }
    for (std::size_t index = 1; index < records_.size(); ++index) {
        animated_.Place(records_[index].gltf, index, false);
    }
    for (const auto& [index, gltf] : objectNodes_) {
        animated_.Place(gltf, index, true);
    }
}

// "node 1 "Body" (skin 0 "Skin")" for each joint of the skin of each
// skinned mesh of the scene.
void GltfSceneFile::FindSkinnedMeshes() {
    for (std::size_t index = 1; index < records_.size(); ++index) {
        const NodeEntry& entry = model_.nodes[records_[index].gltf];
        const auto skin = entry.skinned ? JsonValue(*json_, entry.object).Member("skin") : std::nullopt;
        const auto s = skin && skin->Is(JsonValue::Kind::Number) ? skin->Index() : std::nullopt;
        if (!s || *s >= model_.skins.skins.size()) {
            continue;
        }
        const std::string mesh = "node " + std::to_string(index) + " " + Quoted(order_[index]->Name()) + " (" +
                                 SkinName(model_.skins, *s) + ")";
        for (const std::size_t joint : model_.skins.skins[*s].joints) {
            if (joint != kNoSkinNode) {
                jointMeshes_[joint].push_back(mesh);
            }
        }
    }
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
    NewData data(*json_, model_.data, PlaceOfNewData(), edits);
    EditJoints(path, data, edits);
    EditKeys(path, data, edits);
    data.Finish();
    EditChannels(edits);
    EditUris(target, path, edits);
    return WholeFile(std::move(edits), path, data.BinaryAppendix());
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
            [this](std::size_t buffer, std::uint64_t offset, std::size_t size) {
            return ReadBuffer(buffer, offset, size);
            },
            data, edits);
    } catch (const JointMatrixError& e) {
        Fail(path, joints.at(e.node), e.what());
    }
}

std::string GltfSceneFile::ReadBuffer(std::size_t buffer, std::uint64_t offset, std::size_t size) const {
    return ReadBufferBytes(PlaceOfBuffer(buffer), offset, size);
}

void GltfSceneFile::OpenBufferFiles() {
    const std::vector<std::optional<std::string>>& uris = model_.data.bufferUris;
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
            // Only what is read from it (matrices, keys, boxes) needs it.
            bufferMissing_[buffer] = e.what();
        }
    }
}

BufferPlace GltfSceneFile::PlaceOfBuffer(std::size_t buffer) const {
    BufferPlace place;
    const std::optional<std::string>& uri = model_.data.bufferUris[buffer];
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
// The binary chunk gains `binaryAppendix` at its end, or is made of it
// where the file has none, before any other chunk.
FileContent GltfSceneFile::WholeFile(TextEdits edits, const std::string& path,
                                     const std::string& binaryAppendix) const {
    FileContent content;
    if (!glb_) {
        content.Add(json_, std::move(edits));
        MadeFromBuffers(content);
        return content;
    }
    edits.Order();
    const bool same = edits.LeaveAsIs(*json_);
    const std::size_t jsonSize = edits.Size(json_->size());
    const bool binary = binaryAt_ != 0;
    const std::uint64_t binaryLength = (binary ? binarySize_ : 0) + binaryAppendix.size();
    const std::uint64_t chunksSize = chunksSize_ + binaryAppendix.size() + (binary || binaryAppendix.empty() ? 0 : 8);
    std::string head = same ? head_ : GlbHead(jsonSize, chunksSize);
    std::string padding = same ? padding_ : GlbPadding(jsonSize);
    const std::uint64_t size = std::uint64_t{head.size()} + jsonSize + padding.size() + chunksSize;
    if (size > UINT32_MAX) {
        throw SceneFileError(path + ": the file would be larger than a GLB file can be (4 GiB)");
    }
    content.Add(std::move(head));
    content.Add(json_, std::move(edits));
    content.Add(std::move(padding));
    MadeFromBuffers(content);
    if (binaryAppendix.empty()) {
        bytes_.AddTo(content, chunksAt_, chunksSize_);
        return content;
    }
    content.Add(GlbBinaryChunkHead(binaryLength));
    const std::uint64_t after = binary ? binaryAt_ + binarySize_ : chunksAt_;
    if (binary) {
        bytes_.AddTo(content, binaryAt_, binarySize_);
    }
    content.Add(binaryAppendix);
    if (after < chunksAt_ + chunksSize_) {
        bytes_.AddTo(content, after, chunksAt_ + chunksSize_ - after);
    }
    return content;
}

std::optional<standin::Affine> GltfSceneFile::Change(std::size_t index) const {
    if (index == 0 || transforms_.empty() || ExactlyEqual(order_[index]->Transform(), transforms_[index])) {
        return std::nullopt;
    }
    standin::Affine inverse;
    if (!standin::Invert(WorldAsRead(index), inverse)) {
        return std::nullopt;  // a node that cannot be inverted was refused as it was read
    }
    return standin::FirstThen(standin::ToAffine(order_[index]->Transform()), inverse);
}

std::optional<standin::Affine> GltfSceneFile::ObjectChange(std::size_t index) const {
    const bool offsetSame = ExactlyEqual(order_[index]->ObjectOffset(), ObjectOffsetAsRead(index));
    if (!Change(index) && offsetSame) {
        return std::nullopt;
    }
    standin::Affine inverse;
    if (!standin::Invert(ObjectWorldAsRead(index), inverse)) {
        return std::nullopt;
    }
    return standin::FirstThen(standin::ToAffine(order_[index]->ObjectWorld()), inverse);
}

std::optional<std::string> GltfSceneFile::MotionRefusal(const StandinNode& node) const {
    const std::size_t index = IndexOf(node);
    if (index == kNoNode || index == 0 || animated_.Empty()) {
        return std::nullopt;
    }
    // The node, its object and its children: what its change asks of
    // their keys. Nodes further down keep their frames.
    std::vector<std::size_t> asked{records_[index].gltf};
    if (const auto object = objectNodes_.find(index); object != objectNodes_.end()) {
        asked.push_back(object->second);
    }
    for (const StandinNode* child : node.Children()) {
        asked.push_back(records_[IndexOf(*child)].gltf);
    }
    std::vector<ChannelKeys> keys;
    const BufferReader read = [this](std::size_t buffer, std::uint64_t offset, std::size_t size) {
        return ReadBuffer(buffer, offset, size);
    };
    for (const std::size_t gltf : asked) {
        if (std::optional<std::string> refusal = animated_.FollowingKeys(gltf, *this, Animations(), read, keys)) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::vector<std::string> GltfSceneFile::MovedWith(const StandinNode& node) const {
    const std::size_t index = IndexOf(node);
    if (index == kNoNode || index == 0) {
        return {};
    }
    const auto meshes = jointMeshes_.find(records_[index].gltf);
    return meshes != jointMeshes_.end() ? meshes->second : std::vector<std::string>();
}

void GltfSceneFile::EditKeys(const std::string& path, NewData& data, TextEdits& edits) const {
    std::vector<ChannelKeys> keys;
    const BufferReader read = [this](std::size_t buffer, std::uint64_t offset, std::size_t size) {
        return ReadBuffer(buffer, offset, size);
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
    if (!changes.empty()) {
        EditObject(*json_, entry.Object(), changes, edits);
    }
}

void GltfSceneFile::FindSamePlaced() const {
    samePlaced_ = transforms_.empty()
                      ? decltype(samePlaced_)()
                      : SamePlacedNamesakes(order_, transforms_, [this](std::size_t a, std::size_t b) {
                            return nodeTexts_[records_[a].gltf].hasMatrix == nodeTexts_[records_[b].gltf].hasMatrix;
                        });
}

bool GltfSceneFile::LocalRewritten(std::size_t index) const {
    if (transforms_.empty()) {
        return false;
    }
    const std::size_t parent = records_[index].parent;
    if (ExactlyEqual(order_[index]->Transform(), transforms_[index]) && skinnedNodes_.count(index) != 0 &&
        order_[index]->Children().empty()) {
        return false;  // glTF ignores a skinned mesh node's transform, and no child's world hangs on it
    }
    return (parent != 0 && !ExactlyEqual(order_[parent]->Transform(), transforms_[parent])) ||
           !ExactlyEqual(order_[index]->Transform(), transforms_[index]);
}

// A local transform that no file can hold (Save refuses it) is drawn as
// the scene has it.
standin::Affine GltfSceneFile::DrawnLocal(std::size_t index) const {
    if (const auto same = samePlaced_.find(index); same != samePlaced_.end()) {
        return localsRead_[same->second];
    }
    if (!LocalRewritten(index)) {
        return localsRead_[index];
    }
    const std::size_t parent = records_[index].parent;
    standin::Affine parentInverse;
    if (!standin::Invert(standin::ToAffine(parent == 0 ? NodeMatrix() : WrittenWorld(parent)), parentInverse)) {
        return localsRead_[index];
    }
    const standin::Affine local = standin::FirstThen(standin::ToAffine(order_[index]->Transform()), parentInverse);
    return WrittenLocal(local, nodeTexts_[records_[index].gltf]).value_or(local);
}

// As Written places the object: on the marked child, on a new one, or
// (a node without an object, or a skinned mesh) nowhere in the file.
standin::Affine GltfSceneFile::DrawnOffset(std::size_t index) const {
    const StandinNode& node = *order_[index];
    if (ExactlyEqual(node.ObjectOffset(), ObjectOffsetAsRead(index))) {
        const auto read = offsetsRead_.find(index);
        return read != offsetsRead_.end() ? read->second : standin::Affine();
    }
    const standin::Affine offset = standin::ToAffine(node.ObjectOffset());
    const NodeText& entry = nodeTexts_[records_[index].gltf];
    std::optional<standin::Affine> written;
    if (entry.objectNode != NodeText::kNone) {
        written = WrittenLocal(offset, nodeTexts_[entry.objectNode]);
    } else if (entry.holdsObject && !entry.skinned) {
        written = WrittenLocal(offset, NodeText(), true);
    }
    return written.value_or(offset);
}

// Each node's world is its parent's and its local transform composed, as
// a reader of the file composes them; the chain up to a node already
// placed is walked without recursion.
std::vector<DrawnPlacement> GltfSceneFile::DrawnPlacements(const std::vector<std::size_t>& indices) const {
    if (!drawn_) {
        return {};
    }
    FindSamePlaced();
    std::unordered_map<std::size_t, standin::Affine> worlds{{0, standin::Affine()}};
    std::vector<std::size_t> chain;
    std::vector<DrawnPlacement> placements;
    placements.reserve(indices.size());
    for (const std::size_t index : indices) {
        if (index == 0) {
            placements.push_back({standin::Affine(), standin::ToAffine(order_[0]->ObjectOffset())});
            continue;
        }
        chain.clear();
        for (std::size_t at = index; worlds.find(at) == worlds.end(); at = records_[at].parent) {
            chain.push_back(at);
        }
        for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
            worlds[*at] = standin::FirstThen(DrawnLocal(*at), worlds.at(records_[*at].parent));
        }
        const standin::Affine& world = worlds.at(index);
        placements.push_back({world, standin::FirstThen(DrawnOffset(index), world)});
    }
    return placements;
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
