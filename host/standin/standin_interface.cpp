#include "standin/standin_interface.h"

#include <string>

#include "standin/plugin_calls.h"
#include "standin/standin_custom_button.h"
#if !defined(_WIN32)
#  include "win32/standin_extensions.h"
#endif

namespace standin {

namespace {
StandinInterface* g_current = nullptr;
}  // namespace

StandinInterface::StandinInterface(StandinScene& scene) : scene_(scene), previous_(g_current) { g_current = this; }

StandinInterface::~StandinInterface() {
    ClosePanel();
    EndPickMode();
    if (suspendDepth_ != 0) {
        scene_.ReportViolation("scene redraw still suspended " + std::to_string(suspendDepth_) +
                               " time(s) when the host closed");
    }
    g_current = previous_;
    // What the tools released or destroyed goes with the host, so that a
    // process that makes host after host (the viewer's undo) keeps none.
    if (g_current == nullptr) {
        ForgetReleasedCustButtons();
#if !defined(_WIN32)
        win32standin::ForgetDestroyedWindows();
#endif
    }
}

StandinInterface* StandinInterface::Current() { return g_current; }

void StandinInterface::Record(const char* operation) { scene_.Journal().Record(HostCall{operation}); }

bool StandinInterface::IsSelectable(const std::vector<StandinNode*>& nodes) {
    for (const StandinNode* node : nodes) {
        if (node == &scene_.Root()) {
            scene_.ReportViolation("the scene root " + node->Name() + " cannot be selected");
            return false;
        }
    }
    return true;
}

void StandinInterface::SetSelection(std::vector<StandinNode*> nodes) {
    if (IsSelectable(nodes)) {
        selection_ = std::move(nodes);
    }
}

int StandinInterface::SelectedNodeCount() {
    Record("SelectedNodeCount");
    return static_cast<int>(selection_.size());
}

SceneNode* StandinInterface::SelectedNode(int i) {
    HostCall call{"SelectedNode"};
    call.index = i;
    scene_.Journal().Record(std::move(call));
    if (i < 0 || i >= static_cast<int>(selection_.size())) {
        scene_.ReportViolation("SelectedNode(" + std::to_string(i) + ") out of range");
        return nullptr;
    }
    return selection_[static_cast<std::size_t>(i)];
}

SceneNode* StandinInterface::RootNode() {
    Record("RootNode");
    return &scene_.Root();
}

AnimRange StandinInterface::AnimationRange() {
    Record("AnimationRange");
    return range_;
}

TimeValue StandinInterface::CurrentTime() {
    Record("CurrentTime");
    return currentTime_;
}

void StandinInterface::RedrawViewports(TimeValue t, unsigned flags, const void* changed) {
    HostCall call{"RedrawViewports"};
    call.time = t;
    call.index = static_cast<int>(flags);
    call.text = changed == nullptr ? "no object" : "object";
    scene_.Journal().Record(std::move(call));
    ++redrawCount_;
}

LogSys* StandinInterface::Log() {
    Record("Log");
    return this;
}

void StandinInterface::LogEntry(DWORD type, BOOL dialogue, const char* title, const char* text) {
    HostCall call{"LogEntry"};
    call.index = static_cast<int>(type);
    call.text = text == nullptr ? "" : text;
    scene_.Journal().Record(std::move(call));
    if (title == nullptr || text == nullptr) {
        scene_.ReportViolation("LogEntry with a null title or text");
        return;
    }
    if (type != SYSLOG_ERROR && type != SYSLOG_WARN && type != SYSLOG_INFO && type != SYSLOG_DEBUG) {
        scene_.ReportViolation("LogEntry with the unknown type " + std::to_string(type));
        return;
    }
    log_.push_back({type, dialogue != FALSE, title, text});
}

void StandinInterface::SuspendSceneRedraw() {
    Record("SuspendSceneRedraw");
    ++suspendDepth_;
}

void StandinInterface::ResumeSceneRedraw() {
    Record("ResumeSceneRedraw");
    if (suspendDepth_ == 0) {
        scene_.ReportViolation("ResumeSceneRedraw without SuspendSceneRedraw");
        return;
    }
    --suspendDepth_;
}

void StandinInterface::TogglePickMode(PickModeHandler* handler) {
    Record("TogglePickMode");
    if (handler == nullptr) {
        scene_.ReportViolation("TogglePickMode with a null handler");
        return;
    }
    if (activePickMode_ == handler) {
        EndPickMode();
        return;
    }
    EndPickMode();
    activePickMode_ = handler;
    const PluginCall call("the pick mode (EnterPickMode)");
    handler->EnterPickMode(this);
    if (activePickMode_ == handler) {
        shownCursor_ = handler->IdleCursor(this);
    }
}

void StandinInterface::EndPickMode() {
    PickModeHandler* handler = activePickMode_;
    if (handler == nullptr) {
        return;
    }
    activePickMode_ = nullptr;
    shownCursor_ = nullptr;
    const PluginCall call("the pick mode (LeavePickMode)");
    handler->LeavePickMode(this);
}

}  // namespace standin
