#include "pick_helper.h"

// Placeholder: the pick helper is built in its own change.
PickHelper::~PickHelper() = default;
int PickHelper::TestPickPoint(Interface*, HWND, Viewport*, IPoint2, int) { return 0; }
int PickHelper::AcceptPick(Interface*, Viewport*) { return 0; }
int PickHelper::RightClick(Interface*, Viewport*) { return 1; }
void PickHelper::EnterPickMode(Interface*) { active = true; }
void PickHelper::LeavePickMode(Interface*) { active = false; }
HCURSOR PickHelper::IdleCursor(Interface*) { return nullptr; }
HCURSOR PickHelper::HitCursor(Interface*) { return nullptr; }
NodeFilter* PickHelper::ActiveNodeFilter() { return nullptr; }
int PickHelper::AcceptNode(SceneNode*) { return 1; }
void PickHelper::StartPick(std::uint32_t f) { flags = f; }
void PickHelper::StopPick() {}
