#include "standin/standin_scene.h"

#include <algorithm>
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
    return ToNodeMatrix(Then(ToAffine(ObjectOffset()), ToAffine(transform_)));
}

void StandinNode::MoveNode(TimeValue t, const NodeMatrix& axis, const Point3& offset, bool localOrigin,
                           bool affectChildren, int pivotMode, bool ignoreLocks) {
    const float value[4] = {offset.x, offset.y, offset.z, 0.0f};
    Transform("MoveNode", Op::Move, t, axis, value, localOrigin, affectChildren, pivotMode, ignoreLocks);
}

void StandinNode::RotateNode(TimeValue t, const NodeMatrix& axis, const Quat& rotation, bool localOrigin,
                             bool affectChildren, int pivotMode, bool ignoreLocks) {
    const float value[4] = {rotation.x, rotation.y, rotation.z, rotation.w};
    Transform("RotateNode", Op::Rotate, t, axis, value, localOrigin, affectChildren, pivotMode, ignoreLocks);
}

void StandinNode::ScaleNode(TimeValue t, const NodeMatrix& axis, const Point3& factors, bool localOrigin,
                            bool affectChildren, int pivotMode, bool ignoreLocks) {
    const float value[4] = {factors.x, factors.y, factors.z, 0.0f};
    Transform("ScaleNode", Op::Scale, t, axis, value, localOrigin, affectChildren, pivotMode, ignoreLocks);
}

void StandinNode::Transform(const char* operation, Op op, TimeValue t, const NodeMatrix& axis,
                            const float value[4], bool localOrigin, bool affectChildren, int pivotMode,
                            bool ignoreLocks) {
    if (scene_->Journal().Enabled()) {
        HostCall call{operation};
        call.node = this;
        call.time = t;
        call.axis = axis;
        for (int i = 0; i < 4; ++i) {
            call.value[i] = value[i];
        }
        call.localOrigin = localOrigin;
        call.affectChildren = affectChildren;
        call.pivotMode = pivotMode;
        call.ignoreLocks = ignoreLocks;
        scene_->Journal().Record(std::move(call));
    }

    const std::string what = std::string(operation) + " of " + name_;
    if (parent_ == nullptr) {
        scene_->ReportViolation(what + ": the scene root keeps the identity transform");
        return;
    }
    if (pivotMode != PIVOT_MODE_NODE && pivotMode != PIVOT_MODE_PIVOT) {
        scene_->ReportViolation(what + ": unknown pivot mode " + std::to_string(pivotMode));
        return;
    }
    Affine local;
    switch (op) {
        case Op::Move:
            local = Translation(value[0], value[1], value[2]);
            break;
        case Op::Rotate:
            if (!RotationOf(Quat(value[0], value[1], value[2], value[3]), local)) {
                scene_->ReportViolation(what + ": zero or non-finite quaternion");
                return;
            }
            break;
        case Op::Scale:
            local = ScaleOf(value[0], value[1], value[2]);
            break;
    }
    const Point3 origin = localOrigin ? transform_.GetTrans() : axis.GetTrans();
    WorldOp world;
    if (!InFrame(axis, origin, local, world)) {
        scene_->ReportViolation(what + ": degenerate axis matrix");
        return;
    }
    NodeMatrix moved = ToNodeMatrix(Then(ToAffine(transform_), world), transform_.flags);
    if (op == Op::Move && pivotMode == PIVOT_MODE_PIVOT && IsIdentity(axis)) {
        for (int i = 0; i < 3; ++i) {
            moved.row[3][i] = Landing(transform_.row[3][i], value[i], moved.row[3][i]);
        }
    }
    if (!IsFinite(moved)) {
        scene_->ReportViolation(what + ": the result would not be finite");
        return;
    }
    if (pivotMode == PIVOT_MODE_PIVOT && !ignoreLocks && scene_->PivotLocked(*this)) {
        return;
    }
    if (pivotMode == PIVOT_MODE_PIVOT) {
        // The object keeps its world placement: offset' = offset * W * W'^-1.
        Affine movedInverse;
        if (!Invert(ToAffine(moved), movedInverse)) {
            scene_->ReportViolation(what + ": the pivot would become singular");
            return;
        }
        const Affine objectWorld = Then(ToAffine(ObjectOffset()), ToAffine(transform_));
        const NodeMatrix offset = ToNodeMatrix(Then(objectWorld, movedInverse), ObjectOffset().flags);
        if (!IsFinite(offset)) {
            scene_->ReportViolation(what + ": the object's offset from the pivot would not be finite");
            return;
        }
        scene_->BeforeEdit(*this, NodeEdit::Placement);
        SetObjectOffset(offset);
    } else {
        // The object moves with the node: where it lands must be a place too.
        if (objectOffset_ && !IsFinite(ToNodeMatrix(Then(ToAffine(*objectOffset_), ToAffine(moved))))) {
            scene_->ReportViolation(what + ": the object's world placement would not be finite");
            return;
        }
        scene_->BeforeEdit(*this, NodeEdit::Placement);
    }
    transform_ = moved;
    if (affectChildren && pivotMode == PIVOT_MODE_NODE) {
        std::vector<StandinNode*> pending(children_.begin(), children_.end());
        while (!pending.empty()) {
            StandinNode* child = pending.back();
            pending.pop_back();
            scene_->BeforeEdit(*child, NodeEdit::Placement);
            child->transform_ = ToNodeMatrix(Then(ToAffine(child->transform_), world), child->transform_.flags);
            pending.insert(pending.end(), child->children_.begin(), child->children_.end());
        }
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
    std::string reason = pivotLock_ != nullptr ? pivotLock_->PivotLockReason(node) : std::string();
    if (reason.empty()) {
        return false;
    }
    refusals_.push_back({&node, std::move(reason)});
    return true;
}

void StandinScene::RemoveEditListener(const NodeEditListener& listener) {
    editListeners_.erase(std::remove(editListeners_.begin(), editListeners_.end(), &listener), editListeners_.end());
}

StandinScene::StandinScene(std::string rootName) {
    root_ = &Make(nullptr, std::move(rootName));
}

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
