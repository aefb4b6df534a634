#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "files/input_file.h"
#include "scene/gltf/gltf_animated_placements.h"
#include "scene/gltf/gltf_bounds.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_merged_buffers.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_new_data.h"
#include "scene/gltf/gltf_node_text.h"
#include "scene/gltf/json_edit.h"
#include "scene/scene_format.h"
#include "text/name_text.h"

// The class behind ParseGltfScene and ParseGlbScene, shared by the files
// that define its members: reading (gltf_scene_file.cpp), the buffers and
// the file around the JSON (gltf_scene_buffers.cpp), writing
// (gltf_scene_write.cpp), writing in the other format of the two
// (gltf_scene_convert.cpp) and what the edits ask of the motion and the
// drawing (gltf_scene_motion.cpp).
namespace driver::gltf {

// Whether two matrices hold the same numbers, as read or as written.
bool ExactlyEqual(const NodeMatrix& a, const NodeMatrix& b);

// The scene of a .gltf or .glb file and what writing it back needs.
class GltfSceneFile final : public SceneFile,
                            private standin::NodeEditListener,
                            private standin::PivotLock,
                            private SceneFrames {
public:
    GltfSceneFile(const SourceBytes& bytes, const std::string& path, bool glb, SceneUse use);
    ~GltfSceneFile() override {
        document_.scene->SetPivotLock(nullptr);
        document_.scene->RemoveEditListener(*this);
    }
    GltfSceneFile(const GltfSceneFile&) = delete;
    GltfSceneFile& operator=(const GltfSceneFile&) = delete;

    FileContent Written(const std::string& path, const std::vector<std::size_t>& selection) override;
    std::vector<FileBeside> FilesBeside(const std::string& path) const override;
    std::vector<std::string> ReferencedFiles() const override;
    std::optional<std::string> ObjectPlacedElsewhere(const standin::StandinNode& node) const override;
    NodeSource SourceOf(std::size_t index) const override;
    std::vector<DrawnPlacement> DrawnPlacements(const std::vector<std::size_t>& indices) const override;
    AnimatedParts DrivenByAnimation(const standin::StandinNode& node) const override {
        const std::size_t index = IndexOf(node);
        return index != kNoNode && index > 0 ? model_.animated[records_[index].gltf] : AnimatedParts();
    }
    std::optional<std::string> MotionRefusal(const standin::StandinNode& node) const override;
    std::vector<std::string> MovedWith(const standin::StandinNode& node) const override;

    std::optional<WorldBox> DrawnBox(std::size_t index) const override { return BoxOf(index, drawnBoxes_.world); }
    std::optional<WorldBox> ObjectBox(std::size_t index) const override { return BoxOf(index, drawnBoxes_.object); }

    std::optional<std::string> FileNodeName(std::size_t index) const override;

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
    // What of an object draws: all but its morph weights.
    static constexpr unsigned kDrawingBits = 0x1fu;
    static std::uint8_t HoldsOf(const NodeEntry& entry) {
        const unsigned kind = entry.objectKind;
        return static_cast<std::uint8_t>((kind == NodeEntry::kGeometry ? 1u : 0u) | (entry.skinned ? 2u : 0u) |
                                         (kind == NodeEntry::kCamera ? 4u : 0u) |
                                         (kind == NodeEntry::kLight ? 8u : 0u) | (entry.instanced ? 16u : 0u) |
                                         (entry.weighted ? 32u : 0u));
    }

    // Reading the scene: a node waiting to be added below the node of
    // pre-order index `parent`, whose world transform is `parentWorld`.
    struct PendingNode {
        std::size_t node;
        std::size_t parent;
        standin::Affine parentWorld;
    };
    void BuildScene();
    // Adds the node and its object's offset to the scene; its world transform.
    standin::Affine AddReadNode(const PendingNode& current, bool joint);
    // The matrix, which must be finite; else the file is refused.
    NodeMatrix FiniteMatrix(const NodeMatrix& matrix, std::size_t node, const char* what) const;
    // Where each node whose placement an animation drives is in the scene,
    // and the skinned meshes of each joint, kept while the file's nodes are.
    void FindAnimatedNodes();
    void FindSkinnedMeshes();
    // Before the first edit of a node's placement every transform is as
    // read: that is when they are kept, to tell later which ones changed.
    // A run that only renames keeps none.
    void BeforeNodeEdit(const standin::StandinNode&, standin::NodeEdit what) override {
        if (what == standin::NodeEdit::Placement && transforms_.empty()) {
            transforms_.reserve(order_.size());
            for (const standin::StandinNode* node : order_) {
                transforms_.push_back(node->Transform());
            }
        }
    }
    // A joint whose skin's vertices could not stay in place keeps its pivot.
    std::optional<std::string> PivotLockReason(const standin::StandinNode& node) const override {
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
    std::size_t IndexOf(const standin::StandinNode& node) const;
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
    // Of a file written in the other format of the two (gltf_scene_convert.cpp):
    // whether the file written to `target` is GLB, by its name (else as read);
    // where new data goes in it; the edits and the GLB file of a .gltf file's
    // buffers merged into one binary chunk; the URI of the .bin file that a
    // GLB file's binary chunk becomes beside a .gltf file, its length, and
    // the bytes of one buffer in the merged chunk.
    bool WrittenAsGlb(const std::string& target) const;
    DataPlace PlaceOfNewData(bool asGlb, const std::optional<MergedLayout>& merged) const;
    FileContent MergedGlb(TextEdits edits, const std::string& path, const MergedLayout& layout,
                          const std::string& binaryAppendix) const;
    void EditChunkUri(const std::string& target, TextEdits& edits) const;
    std::optional<std::uint64_t> ChunkBufferLength() const;
    void AddMergedBuffer(FileContent& content, std::size_t buffer, std::uint64_t length, const std::string& path) const;
    // `size` bytes of buffer `buffer` from `offset`: a GLB file's binary
    // chunk from the file as it was opened, any other buffer where its URI
    // says. Throws BufferReadError.
    std::string ReadBuffer(std::size_t buffer, std::uint64_t offset, std::size_t size) const;
    // `size` bytes of buffer view `view` from `offset` in it: from its
    // buffer, or where it is compressed, from its bytes decoded (once, then
    // kept). Throws BufferReadError.
    std::string ReadView(std::size_t view, std::uint64_t offset, std::size_t size) const;
    std::string DecodedView(std::size_t view) const;
    // The files of the buffers, held open from now, so that what is read
    // of them is the file that was read.
    void OpenBufferFiles();
    BufferPlace PlaceOfBuffer(std::size_t buffer) const;
    void EditChannels(TextEdits& edits) const;
    // `merged`: the buffers' URIs go with the buffers merged into a GLB chunk.
    void EditUris(const std::string& target, const std::string& path, bool merged, TextEdits& edits) const;
    FileContent WholeFile(TextEdits edits, const std::string& path, const std::string& binaryAppendix,
                          bool asGlb) const;
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
    std::vector<NodeText> nodeTexts_;           // by glTF index, where the scene may be written
    std::vector<standin::StandinNode*> order_;  // pre-order
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
    // By view index: the bytes of the compressed views read so far, decoded.
    mutable std::unordered_map<std::size_t, std::string> decodedViews_;
};

}  // namespace driver::gltf
