#include <string>

#include "standin/plugin_calls.h"
#include "standin/standin_interface.h"

// The user's mouse in the stand-in viewport while a pick mode is active.
namespace standin {

namespace {

// The host's hit test: the nearest node under `point` that passes `filter`
// (every node when null); ClosestHitNode reports it afterwards.
StandinNode* HitTest(StandinViewport& viewport, IPoint2 point, NodeFilter* filter) {
    StandinNode* found = nullptr;
    for (StandinNode* node : viewport.NodesAt(point)) {
        if (filter == nullptr || filter->AcceptNode(node) != 0) {
            found = node;
            break;
        }
    }
    viewport.SetClosestHit(found);
    return found;
}

}  // namespace

SceneNode* StandinInterface::PickNodeAt(HWND window, IPoint2 point, NodeFilter* filter) {
    HostCall call{"PickNodeAt"};
    call.text = "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")" +
                (filter == nullptr ? ", no filter" : ", filter");
    scene_.Journal().Record(std::move(call));
    if (window != viewport_.Window()) {
        scene_.ReportViolation("PickNodeAt: the window is not a viewport of this host");
        return nullptr;
    }
    return HitTest(viewport_, point, filter);
}

StandinInterface::PickEvent StandinInterface::HoverViewport(IPoint2 screen) {
    PickEvent event;
    event.screen = screen;
    PickModeHandler* handler = activePickMode_;
    if (handler == nullptr) {
        return event;
    }
    event.modeActive = true;
    const PluginCall call("the pick mode (TestPickPoint)");
    HitTest(viewport_, screen, handler->ActiveNodeFilter());

    event.accepted = handler->TestPickPoint(this, viewport_.Window(), &viewport_, screen, 0) != 0;
    if (activePickMode_ == handler) {
        shownCursor_ = event.accepted ? handler->HitCursor(this) : handler->IdleCursor(this);
    }
    event.modeEnded = activePickMode_ != handler;
    event.cursor = shownCursor_;
    return event;
}

StandinInterface::PickEvent StandinInterface::ClickViewport(IPoint2 screen) {
    PickEvent event = HoverViewport(screen);
    PickModeHandler* handler = activePickMode_;
    if (!event.accepted || event.modeEnded || handler == nullptr) {
        return event;
    }
    event.picked = true;
    const PluginCall call("the pick mode (AcceptPick)");
    event.answer = handler->AcceptPick(this, &viewport_);
    if (event.answer != 0 && activePickMode_ == handler) {
        EndPickMode();
    }
    event.modeEnded = activePickMode_ != handler;
    event.cursor = shownCursor_;
    return event;
}

StandinInterface::PickEvent StandinInterface::HoverViewport(const Point3& world) {
    return HoverViewport(viewport_.PlaceWorldPoint(world));
}

StandinInterface::PickEvent StandinInterface::ClickViewport(const Point3& world) {
    return ClickViewport(viewport_.PlaceWorldPoint(world));
}

StandinInterface::PickEvent StandinInterface::RightClickViewport() {
    PickEvent event;
    PickModeHandler* handler = activePickMode_;
    if (handler == nullptr) {
        return event;
    }
    event.modeActive = true;
    const PluginCall call("the pick mode (RightClick)");
    if (handler->RightClick(this, &viewport_) != 0 && activePickMode_ == handler) {
        EndPickMode();
    }
    event.modeEnded = activePickMode_ != handler;
    event.cursor = shownCursor_;
    return event;
}

}  // namespace standin
