#pragma once

#include <cstdint>

#include "viewport.h"
#include "win32/win_api.h"

class Interface;
class SceneNode;

// Decides which nodes a pick mode may pick.
class NodeFilter {
public:
    // Integer truth value: 1 when the node may be picked.
    virtual int AcceptNode(SceneNode* node) = 0;

protected:
    ~NodeFilter() = default;
};

// Identifies an optional interface of a handler: two 32-bit words.
struct ExtensionId {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
};

// The callbacks of a pick mode. The host calls them on its user-interface
// thread between TogglePickMode entering the mode and the mode ending.
class PickModeHandler {
public:
    // Optional extension interfaces of the handler; none by default.
    virtual void* GetExtension(ExtensionId id) {
        (void)id;
        return nullptr;
    }
    // Called for screen points under the cursor; 1 accepts the point.
    virtual int TestPickPoint(Interface* ip, HWND window, Viewport* vpt, IPoint2 point, int flags) = 0;
    // Called when the user clicks a point that TestPickPoint accepted;
    // 1 makes the host leave the mode.
    virtual int AcceptPick(Interface* ip, Viewport* vpt) = 0;
    // 1 lets the host snap the cursor while the mode is active.
    virtual int AllowSnap(Viewport* vpt) {
        (void)vpt;
        return 1;
    }
    // 1 lets a right click in a viewport end the mode.
    virtual int RightClick(Interface* ip, Viewport* vpt) = 0;
    // Called when the mode becomes active and when it ends, whatever the cause.
    virtual void EnterPickMode(Interface* ip) = 0;
    virtual void LeavePickMode(Interface* ip) = 0;
    // Cursors while no point is accepted / while one is; null: host default.
    virtual HCURSOR IdleCursor(Interface* ip) = 0;
    virtual HCURSOR HitCursor(Interface* ip) = 0;
    // The filter that the host applies to PickNodeAt during the mode, or null.
    virtual NodeFilter* ActiveNodeFilter() = 0;
    // 1 lets the host pick several nodes with one click.
    virtual int AllowMultiSelect() { return 0; }

protected:
    ~PickModeHandler() = default;
};
