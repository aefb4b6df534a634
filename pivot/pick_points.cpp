#include <string>

#include "direction_math.h"
#include "movable_axes.h"
#include "pivot_utility.h"
#include "refusal_log.h"
#include "resource.h"
#include "scene_node.h"

// Pivot by axis: the first click puts the pivot of the first selected node
// onto the picked point, the second turns the chosen pivot axis towards the
// second point. The object stays where it is in the world throughout.
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
    if (pickStep != 0 && pickStep != 1) {
        return true;
    }
    if (!IsFinite(point)) {
        return false;  // no point at all: the click does not count, the mode waits for another
    }
    // Decided at either click before anything moves: a node whose pivot
    // the host cannot move and turn, or a point whose way from the pivot
    // single precision cannot hold, leaves the node as it is, and the edit ends.
    const Point3 offset = point - pivot;
    if (const char* fault = tarvel::AxesFault(before)) {
        return RefusePivotEdit(*node, std::string("its ") + fault);
    }
    if (!IsFinite(offset)) {
        return RefusePivotEdit(*node, "the point is too far from the pivot");
    }
    // The host keeps the object in place by moving its offset the other
    // way, measured along the node's axes: tiny axes make that way long.
    if (pickStep == 0 && !tarvel::FitsAlongAxes(before, offset)) {
        return RefusePivotEdit(*node,
                               "the object's offset from the point, measured along its axes, would not be finite");
    }

    if (pickStep == 0) {
        node->MoveNode(editTime, worldAxes, offset, false, false, PIVOT_MODE_PIVOT, false);
        firstPoint = point;
        pickStep = 1;
        return false;
    }

    pickStep = 2;
    int axisIndex = 0;
    if (IsDlgButtonChecked(panel, IDC_AXIS_Y) == BST_CHECKED) {
        axisIndex = 1;
    } else if (IsDlgButtonChecked(panel, IDC_AXIS_Z) == BST_CHECKED) {
        axisIndex = 2;
    }
    const Point3 axis = before.GetRow(axisIndex);
    // The pivot holds the first point only to the rounding of the move: a
    // second point on it, or on the first point, up to that rounding gives
    // no direction, and nothing turns.
    Point3 direction;
    const bool onPivot = tarvel::AreSameUpToRounding(point, pivot) || tarvel::AreSameUpToRounding(point, firstPoint);
    if (!onPivot && tarvel::UnitDirection(offset, direction)) {
        const Quat rotation = RotationBetween(axis, direction);
        node->MoveNode(editTime, worldAxes, -pivot, false, false, PIVOT_MODE_NODE, false);
        node->RotateNode(editTime, worldAxes, rotation, false, false, PIVOT_MODE_PIVOT, false);
        node->MoveNode(editTime, worldAxes, pivot, false, false, PIVOT_MODE_NODE, false);
    }
    return EndPivotEdit();
}

bool PivotUtility::RefusePivotEdit(SceneNode& node, const std::string& reason) {
    pickStep = 2;
    tarvel::LogRefusal(*ip, node, "the pivot edit", reason);
    return EndPivotEdit();
}

bool PivotUtility::EndPivotEdit() {
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
