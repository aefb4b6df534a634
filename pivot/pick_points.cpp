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
bool PivotUtility::PointPicked(Point3 point) {
    Interface* const ip = StoredInterface();
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
    const PivotEdit edit{*node, editTime, worldAxes, before, before.GetTrans()};
    if (pickStep == PickStep::kEnded) {
        return true;
    }
    if (!IsFinite(point)) {
        return false;  // no point at all: the click does not count, the mode waits for another
    }
    // Decided at either click before anything moves: a node whose pivot
    // the host cannot move and turn, or a point whose way from the pivot
    // single precision cannot hold, leaves the node as it is, and the edit ends.
    if (const char* fault = pivot_tool::AxesFault(before)) {
        return RefusePivotEdit(*node, std::string("its ") + fault);
    }
    if (!IsFinite(point - edit.pivot)) {
        return RefusePivotEdit(*node, "the point is too far from the pivot");
    }
    return pickStep == PickStep::kMovePivot ? MovePivot(edit, point) : TurnAxis(edit, point);
}

bool PivotUtility::MovePivot(const PivotEdit& edit, const Point3& point) {
    const Point3 offset = point - edit.pivot;
    // The host keeps the object in place by moving its offset the other
    // way, measured along the node's axes: tiny axes make that way long.
    if (!pivot_tool::FitsAlongAxes(edit.before, offset)) {
        return RefusePivotEdit(edit.node,
                               "the object's offset from the point, measured along its axes, would not be finite");
    }
    edit.node.MoveNode(edit.time, edit.worldAxes, offset, false, false, PIVOT_MODE_PIVOT, false);
    firstPoint = point;
    pickStep = PickStep::kTurnAxis;
    return false;
}

bool PivotUtility::TurnAxis(const PivotEdit& edit, const Point3& point) {
    pickStep = PickStep::kEnded;
    const Point3 axis = edit.before.GetRow(ChosenAxis());
    // The pivot holds the first point only to the rounding of the move: a
    // second point on it, or on the first point, up to that rounding gives
    // no direction, and nothing turns.
    Point3 direction;
    const bool onPivot = pivot_tool::AreSameUpToRounding(point, edit.pivot) ||
                         pivot_tool::AreSameUpToRounding(point, firstPoint);
    if (!onPivot && pivot_tool::UnitDirection(point - edit.pivot, direction)) {
        const Quat rotation = pivot_tool::RotationBetween(axis, direction);
        edit.node.MoveNode(edit.time, edit.worldAxes, -edit.pivot, false, false, PIVOT_MODE_NODE, false);
        edit.node.RotateNode(edit.time, edit.worldAxes, rotation, false, false, PIVOT_MODE_PIVOT, false);
        edit.node.MoveNode(edit.time, edit.worldAxes, edit.pivot, false, false, PIVOT_MODE_NODE, false);
    }
    return EndPivotEdit();
}

int PivotUtility::ChosenAxis() const {
    if (IsDlgButtonChecked(Panel(), IDC_AXIS_Y) == BST_CHECKED) {
        return 1;
    }
    return IsDlgButtonChecked(Panel(), IDC_AXIS_Z) == BST_CHECKED ? 2 : 0;
}

bool PivotUtility::RefusePivotEdit(SceneNode& node, const std::string& reason) {
    pickStep = PickStep::kEnded;
    pivot_tool::LogRefusal(*StoredInterface(), node, "the pivot edit", reason);
    return EndPivotEdit();
}

bool PivotUtility::EndPivotEdit() {
    if (ICustButton* pick = Button(IDC_PICK)) {
        pick->SetButtonChecked(FALSE);
    }
    return true;
}

void PivotUtility::PickModeEntered() {
    if (ICustButton* pick = Button(IDC_PICK)) {
        pick->SetButtonChecked(TRUE);
    }
}

void PivotUtility::PickModeLeft() {
    if (ICustButton* pick = Button(IDC_PICK)) {
        pick->SetButtonChecked(FALSE);
    }
}
