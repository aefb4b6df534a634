#include "pick_helper.h"

#include "object_state.h"
#include "scene_node.h"

PickHelper::~PickHelper() { StopPick(); }

int PickHelper::TestPickPoint(Interface* ip, HWND window, Viewport* vpt, IPoint2 point, int hostFlags) {
    (void)hostFlags;
    if (UsesFilter()) {
        NodeFilter* filter = this;
        if (ip->PickNodeAt(window, point, filter) == nullptr) {
            return 0;
        }
    }
    hitPoint = vpt->SnapWorldPoint(point, point, nullptr, 0);
    return 1;
}

int PickHelper::AcceptPick(Interface* ip, Viewport* vpt) {
    (void)ip;
    SceneNode* node = (flags & kNodeRequired) != 0 ? vpt->ClosestHitNode() : nullptr;
    return PointPicked(hitPoint, node) ? 1 : 0;
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
    return (flags & kCrossCursor) != 0 ? LoadCursorA(nullptr, IDC_CROSS) : nullptr;
}

HCURSOR PickHelper::HitCursor(Interface* ip) { return IdleCursor(ip); }

NodeFilter* PickHelper::ActiveNodeFilter() { return UsesFilter() ? this : nullptr; }

int PickHelper::AcceptNode(SceneNode* node) {
    if (!UsesFilter()) {
        return 1;
    }
    Interface* core = GetCOREInterface();
    if (node == nullptr || core == nullptr) {
        return 0;
    }
    // Held by value: the answer does not rely on the host keeping its own
    // state alive while the object is asked.
    const ObjectState state = node->EvaluateWorldState(core->CurrentTime(), 1);
    Object* object = state.obj;
    if (object == nullptr) {
        return 0;
    }
    const SClass_ID superClass = object->SuperClassOf();
    if (superClass == GEOMOBJECT_CLASS_ID) {
        return object->ObjectTest() != 0 ? 1 : 0;
    }
    return superClass == SHAPE_CLASS_ID ? 1 : 0;
}

void PickHelper::StartPick(std::uint32_t newFlags) {
    flags = newFlags;
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
