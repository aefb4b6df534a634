#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host_api.h"
#include "scene_node.h"
#include "standin/host_journal.h"

namespace standin {

// The object a stand-in node carries; its answers are set by the scene.
class StandinObject : public Object {
public:
    SClass_ID SuperClassOf() override { return superClass; }
    int ObjectTest() override { return objectTest ? 1 : 0; }

    SClass_ID superClass = GEOMOBJECT_CLASS_ID;
    bool objectTest = true;
};

class StandinScene;
struct Affine;
struct WorldOp;
class HOST_API StandinNode;

// Asked before a node's pivot moves apart from its object (a pivot-mode
// edit that does not ignore locks): a reason locks the pivot, as a file
// that could not keep what the node places (a skin's vertices, say) asks.
// The edit is then refused, left undone, and kept in the scene's refusals.
class PivotLock {
public:
    virtual std::optional<std::string> PivotLockReason(const StandinNode& node) const = 0;

protected:
    ~PivotLock() = default;
};

// An edit that a lock refused: the node and why.
struct EditRefusal {
    const StandinNode* node = nullptr;
    std::string reason;
};

// What an edit of a node changes: its name, or its placement (its
// transform or its object offset).
enum class NodeEdit { Name, Placement };

// Told before the stand-in changes a node, on a tool's call or a direct
// set, so that what the node was can be kept. Called on the thread of the
// edit; it must not change the scene.
class NodeEditListener {
public:
    virtual void BeforeNodeEdit(const StandinNode& node, NodeEdit what) = 0;

protected:
    ~NodeEditListener() = default;
};

// A node of the stand-in scene. Its node transform is the pivot as a world
// matrix; its object sits at `objectOffset` relative to the pivot, so the
// object's world placement is objectOffset * transform. The scene is static
// in time: every time sees the same transform, and the journal records
// which time each call asked for. The scene root is its own node with the
// identity transform: it refuses to be moved, turned or scaled.
class HOST_API StandinNode final : public SceneNode {
public:
    const char* NodeName() override;
    void SetNodeName(const char* name) override;
    int ChildCount() override;
    SceneNode* ChildNode(int i) override;
    NodeMatrix NodeTransform(TimeValue t) override;
    const ObjectState& EvaluateWorldState(TimeValue t, int flags) override;
    void MoveNode(TimeValue t, const NodeMatrix& axis, const Point3& offset, bool localOrigin, bool affectChildren,
                  int pivotMode, bool ignoreLocks) override;
    void RotateNode(TimeValue t, const NodeMatrix& axis, const Quat& rotation, bool localOrigin, bool affectChildren,
                    int pivotMode, bool ignoreLocks) override;
    void ScaleNode(TimeValue t, const NodeMatrix& axis, const Point3& factors, bool localOrigin, bool affectChildren,
                   int pivotMode, bool ignoreLocks) override;

    // Direct access for tests and the driver; no journal entry, but the
    // scene's edit listeners are told as for a tool's edit.
    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    const NodeMatrix& Transform() const { return transform_; }
    // The scene root keeps the identity transform: any other is refused as
    // a violation.
    void SetTransform(const NodeMatrix& m);
    const NodeMatrix& ObjectOffset() const;
    void SetObjectOffset(const NodeMatrix& m);
    // The object's world placement: objectOffset * transform.
    NodeMatrix ObjectWorld() const;
    StandinObject& GetObject() { return object_; }
    const StandinObject& GetObject() const { return object_; }
    StandinNode* Parent() const { return parent_; }
    const std::vector<StandinNode*>& Children() const { return children_; }
    StandinScene& Scene() const { return *scene_; }
    // How many nodes the scene made before this one: the root's is 0.
    std::size_t Ordinal() const { return ordinal_; }

    // Nodes are made by StandinScene::AddNode only.
    StandinNode(StandinScene& scene, StandinNode* parent, std::string name);

private:
    friend class StandinScene;
    // One call of MoveNode, RotateNode or ScaleNode, without its value.
    struct PlacementEdit {
        const char* operation;
        TimeValue time;
        const NodeMatrix& axis;
        bool localOrigin;
        bool affectChildren;
        int pivotMode;
        bool ignoreLocks;
    };
    // Journals the call with its value (x, y, z and w or 0) and answers
    // whether this node can take it at all (not the root, a known mode).
    bool Begin(const PlacementEdit& edit, const std::array<float, 4>& value);
    // Applies `local`, given in the frame of the edit's axes, to the node;
    // `moveOffset` is the offset of a move, null for other edits. Any
    // refusal leaves the node and its descendants as they were.
    void Apply(const PlacementEdit& edit, const Affine& local, const Point3* moveOffset);
    bool KeepObjectInPlace(const PlacementEdit& edit, const NodeMatrix& moved);
    bool CarryObject(const PlacementEdit& edit, const NodeMatrix& moved);
    void CarryDescendants(const WorldOp& world);
    // Reports "OPERATION of NAME: WHY" as a violation of the host's contract.
    void Refuse(const PlacementEdit& edit, const std::string& why);

    StandinScene* scene_;
    StandinNode* parent_;
    std::string name_;
    std::vector<StandinNode*> children_;
    NodeMatrix transform_;
    std::uint32_t ordinal_ = 0;  // beside the 52-byte matrix, where it costs no space
    // Most objects sit on their pivot: the offset is kept only when a node
    // has one, which keeps large scenes small.
    std::unique_ptr<NodeMatrix> objectOffset_;
    StandinObject object_;
    ObjectState state_;
};

// An in-memory scene: a root node and a tree of nodes that the scene owns.
// Nodes stay at one address for the scene's lifetime. Walks are iterative,
// so trees of any depth are fine.
class HOST_API StandinScene {
public:
    explicit StandinScene(std::string rootName = "Scene Root");
    StandinScene(const StandinScene&) = delete;
    StandinScene& operator=(const StandinScene&) = delete;

    StandinNode& Root() { return *root_; }
    // Appends a child at the end of `parent`'s children.
    StandinNode& AddNode(StandinNode& parent, std::string name, const NodeMatrix& transform = NodeMatrix());
    // Every node in depth-first pre-order from the root (index 0).
    std::vector<StandinNode*> PreOrder();
    std::size_t NodeCount() const { return count_; }

    HostJournal& Journal() { return journal_; }

    // The listeners to edits of the scene's nodes, told in the order they
    // were added. A listener is removed before it goes.
    void AddEditListener(NodeEditListener& listener) { editListeners_.push_back(&listener); }
    void RemoveEditListener(const NodeEditListener& listener);
    void BeforeEdit(const StandinNode& node, NodeEdit what) {
        for (NodeEditListener* listener : editListeners_) {
            listener->BeforeNodeEdit(node, what);
        }
    }

    // The lock asked before pivot-mode edits, or null; it outlives its use.
    void SetPivotLock(const PivotLock* lock) { pivotLock_ = lock; }
    // True when the lock refuses to let `node`'s pivot move, which is then
    // kept among the refusals.
    bool PivotLocked(const StandinNode& node);
    const std::vector<EditRefusal>& Refusals() const { return refusals_; }

    // Contract violations that the stand-in refused, such as a transform
    // operation whose result would not be finite. Tests expect none.
    const std::vector<std::string>& Violations() const { return violations_; }
    void ReportViolation(std::string what);

private:
    // Nodes in blocks that never grow beyond what they reserved, so a node
    // keeps its address; large blocks make large scenes cheap to build.
    StandinNode& Make(StandinNode* parent, std::string name);
    std::vector<std::unique_ptr<std::vector<StandinNode>>> blocks_;
    std::size_t count_ = 0;
    StandinNode* root_;
    HostJournal journal_;
    std::vector<std::string> violations_;
    std::vector<NodeEditListener*> editListeners_;
    const PivotLock* pivotLock_ = nullptr;
    std::vector<EditRefusal> refusals_;
};

}  // namespace standin
