#pragma once

#include <cstdint>

#include "interface.h"
#include "pick_mode.h"

// A reusable pick-mode handler and node filter, steered by a flags word.
// Every accepted click goes to PointPicked. The host calls EnterPickMode and
// LeavePickMode; `active` changes only there.
class PickHelper : public PickModeHandler, public NodeFilter {
public:
    // Flags word of StartPick.
    static constexpr std::uint32_t kNodeRequired = 1;    // a filtered node under the point; passed on
    static constexpr std::uint32_t kNodeFiltered = 2;    // a filtered node under the point; not passed
    static constexpr std::uint32_t kCrossCursor = 4;     // both cursors are the system cross

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
    // the mode. `node` is the closest hit node with kNodeRequired, else null.
    virtual bool PointPicked(Point3 point, SceneNode* node) = 0;
    // Called after the mode became active / after it ended, whatever the cause.
    virtual void PickModeEntered() {}
    virtual void PickModeLeft() {}

    // NodeFilter
    int AcceptNode(SceneNode* node) override;

    // Stores the flags and (re-)enters the mode through the host.
    void StartPick(std::uint32_t flags);
    // Leaves the mode through the host if it is active.
    void StopPick();

    bool IsActive() const { return active; }
    std::uint32_t Flags() const { return flags; }
    const Point3& HitPoint() const { return hitPoint; }

private:
    bool UsesFilter() const { return (flags & (kNodeRequired | kNodeFiltered)) != 0; }

    Point3 hitPoint;
    std::uint32_t flags = 0;
    bool active = false;
};
