#include "pick_helper.h"

namespace pivot_tool {

PickHelper::~PickHelper() { StopPick(); }

int PickHelper::TestPickPoint(Interface* ip, HWND window, Viewport* vpt, IPoint2 point, int hostFlags) {
    (void)ip;
    (void)window;
    (void)hostFlags;
    hitPoint = vpt->SnapWorldPoint(point, point, nullptr, 0);
    return 1;
}

int PickHelper::AcceptPick(Interface* ip, Viewport* vpt) {
    (void)ip;
    (void)vpt;
    return PointPicked(hitPoint) ? 1 : 0;
}

int PickHelper::RightClick(Interface* ip, Viewport* vpt) {
    (void)ip;
    (void)vpt;
    return 1;
}

void PickHelper::EnterPickMode(Interface* ip) {
    (void)ip;
    active = true;
    PickModeEntered();
}

void PickHelper::LeavePickMode(Interface* ip) {
    (void)ip;
    active = false;
    PickModeLeft();
}

HCURSOR PickHelper::IdleCursor(Interface* ip) {
    (void)ip;
    return LoadCursorA(nullptr, IDC_CROSS);
}

HCURSOR PickHelper::HitCursor(Interface* ip) { return IdleCursor(ip); }

NodeFilter* PickHelper::ActiveNodeFilter() { return nullptr; }

void PickHelper::StartPick() {
    StopPick();
    if (Interface* core = GetCOREInterface()) {
        core->TogglePickMode(this);
    }
}

void PickHelper::StopPick() {
    if (!active) {
        return;
    }
    if (Interface* core = GetCOREInterface()) {
        core->TogglePickMode(this);
    }
}

}  // namespace pivot_tool
