#include "standin/standin_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "standin/transform_math.h"

namespace standin {

namespace {

bool IsIdentity(const NodeMatrix& m) {
    const NodeMatrix identity;
    for (int r = 0; r < 4; ++r) {
        if (m.row[r] != identity.row[r]) {
            return false;
        }
    }
    return true;
}

// How many significant digits the shortest decimal that reads back as `v` has.
int DigitsOf(float v) {
    char text[32];
    for (int digits = 1; digits < 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(text, nullptr) == v) {
            return digits;
        }
    }
    return 9;
}

// A pivot moved by `offset` from `from` lands where the tool asked: at a
// point p whose offset the tool computed as p - from in single precision.
// Of the points that give that offset (the sum rounded, and its
// neighbours), the one written with the fewest digits: a typed or clicked
// point of (1, 2, 3) stays (1, 2, 3), not (1, 1.9999999, 3).
float Landing(float from, float offset, float sum) {
    float best = sum;
    for (float candidate : {std::nextafter(sum, -INFINITY), std::nextafter(sum, INFINITY)}) {
        const bool gives = static_cast<float>(static_cast<double>(candidate) - from) == offset;
        if (gives && DigitsOf(candidate) < DigitsOf(best)) {
            best = candidate;
        }
    }
    return best;
}

}  // namespace

StandinNode::StandinNode(StandinScene& scene, StandinNode* parent, std::string name)
    : scene_(&scene), parent_(parent), name_(std::move(name)) {
    state_.obj = &object_;
}

const char* StandinNode::NodeName() {
    if (scene_->Journal().Enabled()) {
        HostCall call{"NodeName"};
        call.node = this;
        scene_->Journal().Record(std::move(call));
    }
    if (name_.find('\0') != std::string::npos) {
        // The tool would read the name only up to the NUL: another name.
        std::string shown;
        for (const char c : name_) {
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        scene_->ReportViolation("NodeName of node " + std::to_string(ordinal_) + " \"" + shown +
                                "\": its name holds a NUL character, which a name in the host cannot hold");
    }
    return name_.c_str();
}

void StandinNode::SetNodeName(const char* name) {
    if (scene_->Journal().Enabled()) {
        HostCall call{"SetNodeName"};
        call.node = this;
        call.text = name ? name : "";
        scene_->Journal().Record(std::move(call));
    }
    if (name == nullptr) {
        scene_->ReportViolation("SetNodeName with a null text");
        return;
    }
    scene_->BeforeEdit(*this, NodeEdit::Name);
    name_ = name;
}

void StandinNode::SetName(std::string name) {
    scene_->BeforeEdit(*this, NodeEdit::Name);
    name_ = std::move(name);
}

int StandinNode::ChildCount() {
    if (scene_->Journal().Enabled()) {
        HostCall call{"ChildCount"};
        call.node = this;
        scene_->Journal().Record(std::move(call));
    }
    return static_cast<int>(children_.size());
}

SceneNode* StandinNode::ChildNode(int i) {
    if (scene_->Journal().Enabled()) {
        HostCall call{"ChildNode"};
        call.node = this;
        call.index = i;
        scene_->Journal().Record(std::move(call));
    }
    if (i < 0 || i >= static_cast<int>(children_.size())) {
        scene_->ReportViolation("ChildNode(" + std::to_string(i) + ") of " + name_ + " out of range");
        return nullptr;
    }
    return children_[static_cast<std::size_t>(i)];
}

NodeMatrix StandinNode::NodeTransform(TimeValue t) {
    if (scene_->Journal().Enabled()) {
        HostCall call{"NodeTransform"};
        call.node = this;
        call.time = t;
        scene_->Journal().Record(std::move(call));
    }
    return transform_;
}

const ObjectState& StandinNode::EvaluateWorldState(TimeValue t, int flags) {
    if (scene_->Journal().Enabled()) {
        HostCall call{"EvaluateWorldState"};
        call.node = this;
        call.time = t;
        call.index = flags;
        scene_->Journal().Record(std::move(call));
    }
    return state_;
}

void StandinNode::SetTransform(const NodeMatrix& m) {
    if (parent_ == nullptr && !IsIdentity(m)) {
        scene_->ReportViolation("the scene root " + name_ + " keeps the identity transform");
        return;
    }
    scene_->BeforeEdit(*this, NodeEdit::Placement);
    transform_ = m;
}

const NodeMatrix& StandinNode::ObjectOffset() const {
    static const NodeMatrix kIdentity;
    return objectOffset_ ? *objectOffset_ : kIdentity;
}

void StandinNode::SetObjectOffset(const NodeMatrix& m) {
    scene_->BeforeEdit(*this, NodeEdit::Placement);
    if (objectOffset_) {
        *objectOffset_ = m;
    } else {
        objectOffset_ = std::make_unique<NodeMatrix>(m);
    }
}

NodeMatrix StandinNode::ObjectWorld() const {
    return ToNodeMatrix(FirstThen(ToAffine(ObjectOffset()), ToAffine(transform_)));
}

void StandinNode::MoveNode(TimeValue t, const NodeMatrix& axis, const Point3& offset, bool localOrigin,
                           bool affectChildren, int pivotMode, bool ignoreLocks) {
    const PlacementEdit edit{"MoveNode", t, axis, localOrigin, affectChildren, pivotMode, ignoreLocks};
    if (Begin(edit, {offset.x, offset.y, offset.z, 0.0f})) {
        Apply(edit, Translation(offset.x, offset.y, offset.z), &offset);
    }
}

void StandinNode::RotateNode(TimeValue t, const NodeMatrix& axis, const Quat& rotation, bool localOrigin,
                             bool affectChildren, int pivotMode, bool ignoreLocks) {
    const PlacementEdit edit{"RotateNode", t, axis, localOrigin, affectChildren, pivotMode, ignoreLocks};
    if (!Begin(edit, {rotation.x, rotation.y, rotation.z, rotation.w})) {
        return;
    }
    Affine turn;
    if (!RotationOf(rotation, turn)) {
        Refuse(edit, "zero or non-finite quaternion");
        return;
    }
    Apply(edit, turn, nullptr);
}

void StandinNode::ScaleNode(TimeValue t, const NodeMatrix& axis, const Point3& factors, bool localOrigin,
                            bool affectChildren, int pivotMode, bool ignoreLocks) {
    const PlacementEdit edit{"ScaleNode", t, axis, localOrigin, affectChildren, pivotMode, ignoreLocks};
    if (Begin(edit, {factors.x, factors.y, factors.z, 0.0f})) {
        Apply(edit, ScaleOf(factors.x, factors.y, factors.z), nullptr);
    }
}

bool StandinNode::Begin(const PlacementEdit& edit, const std::array<float, 4>& value) {
    if (scene_->Journal().Enabled()) {
        HostCall call{edit.operation};
        call.node = this;
        call.time = edit.time;
        call.axis = edit.axis;
        for (int i = 0; i < 4; ++i) {
            call.value[i] = value[static_cast<std::size_t>(i)];
        }
        call.localOrigin = edit.localOrigin;
        call.affectChildren = edit.affectChildren;
        call.pivotMode = edit.pivotMode;
        call.ignoreLocks = edit.ignoreLocks;
        scene_->Journal().Record(std::move(call));
    }
    if (parent_ == nullptr) {
        Refuse(edit, "the scene root keeps the identity transform");
        return false;
    }
    if (edit.pivotMode != PIVOT_MODE_NODE && edit.pivotMode != PIVOT_MODE_PIVOT) {
        Refuse(edit, "unknown pivot mode " + std::to_string(edit.pivotMode));
        return false;
    }
    return true;
}

void StandinNode::Refuse(const PlacementEdit& edit, const std::string& why) {
    scene_->ReportViolation(std::string(edit.operation) + " of " + name_ + ": " + why);
}

void StandinNode::Apply(const PlacementEdit& edit, const Affine& local, const Point3* moveOffset) {
    const Point3 origin = edit.localOrigin ? transform_.GetTrans() : edit.axis.GetTrans();
    WorldOp world;
    if (!InFrame(edit.axis, origin, local, world)) {
        Refuse(edit, "degenerate axis matrix");
        return;
    }
    NodeMatrix moved = ToNodeMatrix(FirstThen(ToAffine(transform_), world), transform_.flags);
    const bool pivotOnly = edit.pivotMode == PIVOT_MODE_PIVOT;
    if (moveOffset != nullptr && pivotOnly && IsIdentity(edit.axis)) {
        const float by[3] = {moveOffset->x, moveOffset->y, moveOffset->z};
        for (int i = 0; i < 3; ++i) {
            moved.row[3][i] = Landing(transform_.row[3][i], by[i], moved.row[3][i]);
        }
    }
    if (!IsFinite(moved)) {
        Refuse(edit, "the result would not be finite");
        return;
    }
    if (pivotOnly && !edit.ignoreLocks && scene_->PivotLocked(*this)) {
        return;
    }
    if (pivotOnly ? !KeepObjectInPlace(edit, moved) : !CarryObject(edit, moved)) {
        return;
    }
    transform_ = moved;
    if (edit.affectChildren && !pivotOnly) {
        CarryDescendants(world);
    }
}

// The object keeps its world placement: offset' = offset * W * W'^-1.
bool StandinNode::KeepObjectInPlace(const PlacementEdit& edit, const NodeMatrix& moved) {
    Affine movedInverse;
    if (!Invert(ToAffine(moved), movedInverse)) {
        Refuse(edit, "the pivot would become singular");
        return false;
    }
    const Affine objectWorld = FirstThen(ToAffine(ObjectOffset()), ToAffine(transform_));
    const NodeMatrix offset = ToNodeMatrix(FirstThen(objectWorld, movedInverse), ObjectOffset().flags);
    if (!IsFinite(offset)) {
        Refuse(edit, "the object's offset from the pivot would not be finite");
        return false;
    }
    scene_->BeforeEdit(*this, NodeEdit::Placement);
    SetObjectOffset(offset);
    return true;
}

// The object moves with the node: where it lands must be a place too.
bool StandinNode::CarryObject(const PlacementEdit& edit, const NodeMatrix& moved) {
    if (objectOffset_ && !IsFinite(ToNodeMatrix(FirstThen(ToAffine(*objectOffset_), ToAffine(moved))))) {
        Refuse(edit, "the object's world placement would not be finite");
        return false;
    }
    scene_->BeforeEdit(*this, NodeEdit::Placement);
    return true;
}

void StandinNode::CarryDescendants(const WorldOp& world) {
    std::vector<StandinNode*> pending(children_.begin(), children_.end());
    while (!pending.empty()) {
        StandinNode* child = pending.back();
        pending.pop_back();
        scene_->BeforeEdit(*child, NodeEdit::Placement);
        child->transform_ = ToNodeMatrix(FirstThen(ToAffine(child->transform_), world), child->transform_.flags);
        pending.insert(pending.end(), child->children_.begin(), child->children_.end());
    }
}

StandinNode& StandinScene::Make(StandinNode* parent, std::string name) {
    constexpr std::size_t kBlockNodes = 4096;
    if (blocks_.empty() || blocks_.back()->size() == blocks_.back()->capacity()) {
        blocks_.push_back(std::make_unique<std::vector<StandinNode>>());
        blocks_.back()->reserve(kBlockNodes);
    }
    StandinNode& node = blocks_.back()->emplace_back(*this, parent, std::move(name));
    node.ordinal_ = static_cast<std::uint32_t>(count_++);
    return node;
}

bool StandinScene::PivotLocked(const StandinNode& node) {
    std::optional<std::string> reason = pivotLock_ != nullptr ? pivotLock_->PivotLockReason(node) : std::nullopt;
    if (!reason) {
        return false;
    }
    refusals_.push_back({&node, std::move(*reason)});
    return true;
}

void StandinScene::RemoveEditListener(const NodeEditListener& listener) {
    editListeners_.erase(std::remove(editListeners_.begin(), editListeners_.end(), &listener), editListeners_.end());
}

StandinScene::StandinScene(std::string rootName) { root_ = &Make(nullptr, std::move(rootName)); }

StandinNode& StandinScene::AddNode(StandinNode& parent, std::string name, const NodeMatrix& transform) {
    StandinNode& node = Make(&parent, std::move(name));
    node.transform_ = transform;
    parent.children_.push_back(&node);
    return node;
}

std::vector<StandinNode*> StandinScene::PreOrder() {
    std::vector<StandinNode*> order;
    order.reserve(count_);
    std::vector<StandinNode*> pending{root_};
    while (!pending.empty()) {
        StandinNode* node = pending.back();
        pending.pop_back();
        order.push_back(node);
        pending.insert(pending.end(), node->children_.rbegin(), node->children_.rend());
    }
    return order;
}

void StandinScene::ReportViolation(std::string what) { violations_.push_back(std::move(what)); }

}  // namespace standin
