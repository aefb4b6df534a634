#pragma once

#include <string>

#include "interface.h"
#include "panel_frame.h"
#include "pick_helper.h"

// The pivot tool: pivot by axis (two clicks in a viewport) and align the
// selected nodes to their namesakes. The library holds one static object.
class PivotUtility : public PanelFrame, public pivot_tool::PickHelper {
public:
    PivotUtility() = default;

    // UtilityPlugin: called by the host on its user-interface thread.
    void SelectionChanged(Interface* ip, UtilityHandle* handle) override;
    void DeleteSelf() override {}

    // pivot_tool::PickHelper: called while the pick mode is active.
    bool PointPicked(Point3 point) override;
    void PickModeEntered() override;
    void PickModeLeft() override;

    // Gives every selected node the placement of its namesake.
    void AlignSelected();

    // Where pivot by axis stands: the next click moves the pivot, the next
    // click turns the chosen axis, or the edit has ended (until Pick
    // starts it again).
    enum class PickStep { kMovePivot, kTurnAxis, kEnded };

    // State, for tests.
    PickStep Step() const { return pickStep; }

private:
    // PanelFrame: the Align and Pick buttons, and the axis buttons.
    void PanelOpened(Interface& host) override;
    void PanelClosing() override;
    void Command(int item) override;
    bool RightButton() override;
    // Pick and the axis buttons; Align.
    void EnablePickControls(bool on);
    void EnableAlignButton(bool on);

    // The node that a click of pivot by axis edits, and its placement
    // before the click, at the start of the animation range.
    struct PivotEdit {
        SceneNode& node;
        TimeValue time;
        NodeMatrix worldAxes;
        NodeMatrix before;
        Point3 pivot;
    };
    // The first click: the pivot moves onto `point`, the object stays.
    bool MovePivot(const PivotEdit& edit, const Point3& point);
    // The second click: the chosen axis turns towards `point` about the
    // pivot, the object stays.
    bool TurnAxis(const PivotEdit& edit, const Point3& point);
    // The row of the axis that the panel's radio buttons choose.
    int ChosenAxis() const;
    // Unchecks Pick and answers true: the pick mode ends.
    bool EndPivotEdit();
    // Logs why `node` cannot take the pivot edit and ends it, the node untouched.
    bool RefusePivotEdit(SceneNode& node, const std::string& reason);

    PickStep pickStep = PickStep::kMovePivot;
    Point3 firstPoint;  // the point of the first click, while the step is kTurnAxis
};
