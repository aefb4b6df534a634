#include <cmath>

#include "pivot_utility.h"
#include "resource.h"
#include "scene_node.h"

// Pivot by axis: the first click puts the pivot of the first selected node
// onto the picked point, the second turns the chosen pivot axis towards the
// second point. The object stays where it is in the world throughout.
namespace {

bool IsFinite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// A vector that Normalize turns into a unit direction.
bool HasDirection(const Point3& v) {
    const float length = Length(v);
    return length > 0.0f && std::isfinite(length);
}

// A rotation that the host can apply: finite and not zero.
bool IsUsable(const Quat& q) {
    const bool finite = std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
    return finite && (q.x != 0.0f || q.y != 0.0f || q.z != 0.0f || q.w != 0.0f);
}

}  // namespace

bool PivotUtility::PointPicked(Point3 point, SceneNode* picked) {
    (void)picked;  // the edited node is the first selected one, whatever was clicked
    if (ip == nullptr || ip->SelectedNodeCount() < 1) {
        return true;  // nothing to edit: the mode ends
    }
    SceneNode* node = ip->SelectedNode(0);
    if (node == nullptr) {
        return true;
    }
    const TimeValue editTime = ip->AnimationRange().Start();
    const NodeMatrix worldAxes = ip->RootNode()->NodeTransform(editTime);
    const NodeMatrix before = node->NodeTransform(editTime);
    const Point3 pivot = before.GetTrans();

    if (pickStep == 0) {
        const Point3 offset = point - pivot;
        if (!IsFinite(offset)) {
            return false;  // no usable point: wait for another first click
        }
        node->MoveNode(editTime, worldAxes, offset, false, false, PIVOT_MODE_PIVOT, false);
        pickStep = 1;
        return false;
    }
    if (pickStep != 1) {
        return true;
    }

    pickStep = 2;
    int axisIndex = 0;
    if (IsDlgButtonChecked(panel, IDC_AXIS_Y) == BST_CHECKED) {
        axisIndex = 1;
    } else if (IsDlgButtonChecked(panel, IDC_AXIS_Z) == BST_CHECKED) {
        axisIndex = 2;
    }
    const Point3 axis = before.GetRow(axisIndex);
    const Point3 towards = point - pivot;
    // Decided before anything moves: a second point on the pivot, a
    // degenerate axis or an unusable rotation leaves the node as it was.
    bool turn = HasDirection(towards) && HasDirection(axis);
    Quat rotation;
    if (turn) {
        rotation = RotationBetween(axis, Normalize(towards));
        turn = IsUsable(rotation);
    }
    if (turn) {
        node->MoveNode(editTime, worldAxes, -pivot, false, false, PIVOT_MODE_NODE, false);
        node->RotateNode(editTime, worldAxes, rotation, false, false, PIVOT_MODE_PIVOT, false);
        node->MoveNode(editTime, worldAxes, pivot, false, false, PIVOT_MODE_NODE, false);
    }
    if (pickButton != nullptr) {
        pickButton->SetButtonChecked(FALSE);
    }
    return true;
}

void PivotUtility::PickModeEntered() {
    if (pickButton != nullptr) {
        pickButton->SetButtonChecked(TRUE);
    }
}

void PivotUtility::PickModeLeft() {
    if (pickButton != nullptr) {
        pickButton->SetButtonChecked(FALSE);
    }
}
