#include "scene/gltf/gltf_scene_file.h"

#include "scene/gltf/gltf_scene_file_class.h"

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "files/input_file.h"
#include "files/native_path.h"
#include "scene/gltf/glb_container.h"
#include "scene/gltf/gltf_animated_placements.h"
#include "scene/gltf/gltf_bounds.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_new_data.h"
#include "scene/gltf/gltf_node_text.h"
#include "scene/gltf/gltf_skins.h"
#include "scene/gltf/gltf_uri.h"
#include "scene/gltf/json_edit.h"
#include "text/name_text.h"

namespace driver::gltf {

namespace {

using standin::StandinNode;
using standin::StandinScene;

constexpr const char* kUnnamedSceneRoot = "Scene Root";

// The nodes that are joints of a skin, by glTF index.
std::unordered_set<std::size_t> JointNodes(const SkinModel& skins) {
    std::unordered_set<std::size_t> joints;
    for (const SkinEntry& skin : skins.skins) {
        joints.insert(skin.joints.begin(), skin.joints.end());
    }
    return joints;
}

}  // namespace

// Whether two matrices hold the same numbers, as read or as written.
bool ExactlyEqual(const NodeMatrix& a, const NodeMatrix& b) {
    for (int r = 0; r < 4; ++r) {
        if (a.row[r] != b.row[r]) {
            return false;
        }
    }
    return true;
}

GltfSceneFile::GltfSceneFile(const SourceBytes& bytes, const std::string& path, bool glb, SceneUse use)
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
    model_ = ReadGltfModel(*json_, path, textKept_);  // a run that writes keeps the scanned numbers
    if (textKept_ || use == SceneUse::Listed) {
        OpenBufferFiles();
    }
    if (use == SceneUse::Listed) {
        drawnBoxes_ = DrawnBounds(model_, *json_, glb_, [this](std::size_t view, std::uint64_t at, std::size_t size) {
            return ReadView(view, at, size);
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

std::vector<std::string> GltfSceneFile::ReferencedFiles() const {
    std::vector<std::string> files;
    for (const UriEntry& uri : model_.uris) {
        if (const std::optional<std::filesystem::path> file = UriFile(uri.uri, FolderOf(source_))) {
            files.push_back(file->string());
        }
    }
    return files;
}

std::optional<std::string> GltfSceneFile::ObjectPlacedElsewhere(const StandinNode& node) const {
    if (skinnedNodes_.count(IndexOf(node)) == 0) {
        return std::nullopt;
    }
    return "its mesh is skinned, and glTF places a skinned mesh by its joints";
}

NodeSource GltfSceneFile::SourceOf(std::size_t index) const {
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
    source.draws = (record.holds & kDrawingBits) != 0;
    source.joint = (record.holds & kJointBit) != 0;
    return source;
}

std::optional<std::string> GltfSceneFile::FileNodeName(std::size_t index) const {
    if (index == 0 && model_.scene.index) {
        return "scenes[" + std::to_string(*model_.scene.index) + "]";
    }
    if (index == 0 || index >= records_.size()) {
        return std::nullopt;
    }
    return "nodes[" + std::to_string(records_[index].gltf) + "]";
}

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
    // Depth first, parents before children, children in their order.
    const std::unordered_set<std::size_t> joints = JointNodes(model_.skins);
    std::vector<PendingNode> pending;
    for (auto root = scene.roots.rbegin(); root != scene.roots.rend(); ++root) {
        pending.push_back({*root, 0, standin::Affine()});
    }
    while (!pending.empty()) {
        const PendingNode current = pending.back();
        pending.pop_back();
        const NodeEntry& entry = model_.nodes[current.node];
        const std::size_t index = order_.size();
        const standin::Affine world = AddReadNode(current, joints.count(current.node) != 0);
        const ChildRange children = model_.Children(entry);
        for (auto child = children.end(); child != children.begin();) {
            if (*--child != entry.objectNode) {
                pending.push_back({*child, index, world});
            }
        }
    }
    // The scene holds the transforms now; nothing reads the local ones again.
    decltype(model_.keptLocals)().swap(model_.keptLocals);
    model_.scannedTrs.Clear();
}

standin::Affine GltfSceneFile::AddReadNode(const PendingNode& current, bool joint) {
    const NodeEntry& entry = model_.nodes[current.node];
    const standin::Affine local = LocalTransform(model_, *json_, current.node);
    const standin::Affine world = standin::FirstThen(local, current.parentWorld);
    if (drawn_) {
        localsRead_.push_back(local);
    }
    StandinNode& node =
        document_.scene->AddNode(*order_[current.parent], NameOf(entry, *json_),
                                 FiniteMatrix(standin::ToNodeMatrix(world), current.node, "its world transform"));
    node.GetObject().superClass = entry.ObjectClass();
    const std::size_t index = order_.size();
    if (entry.objectNode != kNoNode) {
        const standin::Affine offset = LocalTransform(model_, *json_, entry.objectNode);
        node.SetObjectOffset(
            FiniteMatrix(standin::ToNodeMatrix(offset), entry.objectNode, "the transform of the node's object"));
        if (drawn_) {
            offsetsRead_[index] = offset;
        }
        objectOffsets_[index] = node.ObjectOffset();
        objectNodes_[index] = entry.objectNode;
    }
    order_.push_back(&node);
    const NodeEntry& object = entry.objectNode != kNoNode ? model_.nodes[entry.objectNode] : entry;
    records_.push_back({static_cast<std::uint32_t>(current.node), static_cast<std::uint32_t>(current.parent),
                        static_cast<std::uint8_t>(HoldsOf(object) | (joint ? kJointBit : 0u))});
    return world;
}

NodeMatrix GltfSceneFile::FiniteMatrix(const NodeMatrix& matrix, std::size_t node, const char* what) const {
    if (!standin::IsFinite(matrix)) {
        throw SceneFileError(source_ + ": nodes[" + std::to_string(node) + "]: " + what +
                             " is not finite in single precision");
    }
    return matrix;
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

std::unique_ptr<SceneFile> ParseGltfScene(const SourceBytes& bytes, const std::string& path, SceneUse use) {
    return std::make_unique<GltfSceneFile>(bytes, path, false, use);
}

std::unique_ptr<SceneFile> ParseGlbScene(const SourceBytes& bytes, const std::string& path, SceneUse use) {
    return std::make_unique<GltfSceneFile>(bytes, path, true, use);
}

}  // namespace driver::gltf
