#pragma once

#include "anim_range.h"
#include "node_matrix.h"
#include "object_state.h"
#include "quat.h"

// How a transform operation treats the node's object.
enum PivotMode : int {
    PIVOT_MODE_NODE = 0,   // the node moves together with its object
    PIVOT_MODE_PIVOT = 1,  // the pivot alone moves; the object stays in the world
};

// A node of the host's scene. The host owns every node; the tools only
// borrow pointers for the duration of a command.
class SceneNode {
public:
    // Never null; zero-terminated 8-bit text owned by the node, valid until
    // the next SetNodeName.
    virtual const char* NodeName() = 0;
    // Any text, the empty text included. The node copies it.
    virtual void SetNodeName(const char* name) = 0;

    // 0 or less: no children. Children come in a fixed order.
    virtual int ChildCount() = 0;
    // For 0 <= i < ChildCount().
    virtual SceneNode* ChildNode(int i) = 0;

    // World transform at time t.
    virtual NodeMatrix NodeTransform(TimeValue t) = 0;
    virtual const ObjectState& EvaluateWorldState(TimeValue t, int flags) = 0;

    // Transform operations. The value is expressed in the axes of `axis`;
    // localOrigin false works about the origin of `axis`, true about the
    // node's own pivot. affectChildren false leaves every child where it
    // is in the world.
    virtual void MoveNode(TimeValue t, const NodeMatrix& axis, const Point3& offset, bool localOrigin,
                          bool affectChildren, int pivotMode, bool ignoreLocks) = 0;
    virtual void RotateNode(TimeValue t, const NodeMatrix& axis, const Quat& rotation, bool localOrigin,
                            bool affectChildren, int pivotMode, bool ignoreLocks) = 0;
    virtual void ScaleNode(TimeValue t, const NodeMatrix& axis, const Point3& factors, bool localOrigin,
                           bool affectChildren, int pivotMode, bool ignoreLocks) = 0;

protected:
    ~SceneNode() = default;
};
