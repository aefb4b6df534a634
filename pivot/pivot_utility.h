#pragma once

#include <cstdint>
#include <string>

#include "custom_button.h"
#include "interface.h"
#include "pick_helper.h"
#include "utility_plugin.h"
#include "win32/win_api.h"

// The pivot tool: pivot by axis (two clicks in a viewport) and align the
// selected nodes to their namesakes. The library holds one static object.
class PivotUtility : public UtilityPlugin, public PickHelper {
public:
    PivotUtility() = default;

    // UtilityPlugin: called by the host on its user-interface thread.
    void BeginEditParams(Interface* ip, UtilityHandle* handle) override;
    void EndEditParams(Interface* ip, UtilityHandle* handle) override;
    void SelectionChanged(Interface* ip, UtilityHandle* handle) override;
    void DeleteSelf() override {}

    // PickHelper: called while the pick mode is active.
    bool PointPicked(Point3 point, SceneNode* node) override;
    void PickModeEntered() override;
    void PickModeLeft() override;

    // The panel's messages, routed by the frame dialog procedure.
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void EnablePickControls(bool on);
    void EnableAlignButton(bool on);

    // Gives every selected node the placement of its namesake.
    void AlignSelected();
    // The first node in pre-order from `node` named exactly `name`, other
    // than `excluded`; null when there is none.
    SceneNode* FindNamesake(SceneNode* node, const char* name, SceneNode* excluded);
    // The rotation that RotateNode uses to turn direction `from` onto `to`.
    static Quat RotationBetween(const Point3& from, const Point3& to);

    // State, for tests and the driver.
    HWND Panel() const { return panel; }
    Interface* StoredInterface() const { return ip; }
    std::int32_t PickStep() const { return pickStep; }

private:
    // Unchecks Pick and answers true: the pick mode ends.
    bool EndPivotEdit();
    // Logs why `node` cannot take the pivot edit and ends it, the node untouched.
    bool RefusePivotEdit(SceneNode& node, const std::string& reason);

    HWND panel = nullptr;
    UtilityHandle* utilityHandle = nullptr;
    Interface* ip = nullptr;
    ICustButton* pickButton = nullptr;
    ICustButton* alignButton = nullptr;
    std::int32_t pickStep = 0;
    Point3 firstPoint;  // the point of the first click, while pickStep is 1
};
