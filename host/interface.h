#pragma once

#include "anim_range.h"
#include "host_api.h"
#include "log_sys.h"
#include "pick_mode.h"
#include "scene_node.h"
#include "viewport.h"
#include "win32/win_api.h"

// Flag of RedrawViewports: redraw every viewport.
constexpr unsigned REDRAW_NORMAL = 8;

// Panel category of utility pages (AddPanelPage).
constexpr int UTILITY_PANEL_CATEGORY = 4000;

// The host's core interface: the scene, the selection, time, redraw, pick
// modes and the command panel. Called on the user-interface thread only.
class Interface {
public:
    // The selection, 0-based, in the order the user selected.
    virtual int SelectedNodeCount() = 0;
    virtual SceneNode* SelectedNode(int i) = 0;
    // The scene root; its NodeTransform gives the world axes.
    virtual SceneNode* RootNode() = 0;

    virtual AnimRange AnimationRange() = 0;
    virtual TimeValue CurrentTime() = 0;

    // `changed` is the object that changed, or null.
    virtual void RedrawViewports(TimeValue t, unsigned flags, const void* changed) = 0;
    // Bracket a batch of changes; calls nest and must pair.
    virtual void SuspendSceneRedraw() = 0;
    virtual void ResumeSceneRedraw() = 0;

    // Enters the handler's pick mode, or leaves it when it is the active one.
    virtual void TogglePickMode(PickModeHandler* handler) = 0;
    // The node under `point` in `window` that passes `filter` (all nodes
    // when null), or null.
    virtual SceneNode* PickNodeAt(HWND window, IPoint2 point, NodeFilter* filter) = 0;

    // Adds a page to the command panel: a dialog made from template
    // `templateId` of `module`, whose WM_INITDIALOG receives `param`.
    // The page stays until RemovePanelPage.
    virtual HWND AddPanelPage(HINSTANCE module, int templateId, DLGPROC proc, const char* title, LPARAM param,
                              unsigned flags, int category) = 0;
    virtual void RemovePanelPage(HWND page) = 0;
    // Lets the host handle a mouse message of a panel page (panel scrolling).
    virtual void ForwardPanelMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The host's system log, valid while the host runs.
    virtual LogSys* Log() = 0;

protected:
    ~Interface() = default;
};

// The host's core interface, valid while the host runs.
HOST_API Interface* GetCOREInterface();
