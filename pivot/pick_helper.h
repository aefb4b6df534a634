#pragma once

#include "interface.h"
#include "pick_mode.h"

namespace pivot_tool {

// A pick-mode handler that takes any point of a viewport, with the system
// cross as both cursors and no node filter. Every accepted click goes to
// PointPicked. The host calls EnterPickMode and LeavePickMode; `active`
// changes only there.
class PickHelper : public PickModeHandler {
public:
    PickHelper() = default;
    // Not virtual: the owner is a static object. Leaves an active mode.
    ~PickHelper();

    // PickModeHandler
    int TestPickPoint(Interface* ip, HWND window, Viewport* vpt, IPoint2 point, int flags) override;
    int AcceptPick(Interface* ip, Viewport* vpt) override;
    int RightClick(Interface* ip, Viewport* vpt) override;
    void EnterPickMode(Interface* ip) override;
    void LeavePickMode(Interface* ip) override;
    HCURSOR IdleCursor(Interface* ip) override;
    HCURSOR HitCursor(Interface* ip) override;
    NodeFilter* ActiveNodeFilter() override;

    // Called for every accepted click with the stored hit point; true ends
    // the mode.
    virtual bool PointPicked(Point3 point) = 0;
    // Called after the mode became active / after it ended, whatever the cause.
    virtual void PickModeEntered() {}
    virtual void PickModeLeft() {}

    // (Re-)enters the mode through the host.
    void StartPick();
    // Leaves the mode through the host if it is active.
    void StopPick();

    bool IsActive() const { return active; }
    const Point3& HitPoint() const { return hitPoint; }

private:
    Point3 hitPoint;
    bool active = false;
};

}  // namespace pivot_tool
