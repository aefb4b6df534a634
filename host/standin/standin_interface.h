#pragma once

#include <string>
#include <vector>

#include "host_api.h"
#include "interface.h"
#include "standin/standin_scene.h"
#include "standin/standin_viewport.h"
#include "utility_plugin.h"

namespace standin {

// One entry of the host's system log, as a tool made it.
struct LogRecord {
    DWORD type = 0;
    bool dialogue = false;
    std::string title;
    std::string text;
};

// A page of the command panel, as AddPanelPage made it.
struct PanelPage {
    HWND window = nullptr;
    HINSTANCE module = nullptr;
    int templateId = 0;
    DLGPROC proc = nullptr;  // the page's dialog procedure
    bool hasTitle = false;   // the title was not null
    std::string title;
    LPARAM param = 0;
    unsigned flags = 0;
    int category = 0;
};

// The stand-in host's core interface over one StandinScene. Constructing it
// makes it the interface that GetCOREInterface() returns until it is
// destroyed. Every call the tools make is recorded in the scene's journal.
class HOST_API StandinInterface final : public Interface, private LogSys {
public:
    explicit StandinInterface(StandinScene& scene);
    ~StandinInterface();
    StandinInterface(const StandinInterface&) = delete;
    StandinInterface& operator=(const StandinInterface&) = delete;

    // Interface
    int SelectedNodeCount() override;
    SceneNode* SelectedNode(int i) override;
    SceneNode* RootNode() override;
    AnimRange AnimationRange() override;
    TimeValue CurrentTime() override;
    void RedrawViewports(TimeValue t, unsigned flags, const void* changed) override;
    void SuspendSceneRedraw() override;
    void ResumeSceneRedraw() override;
    void TogglePickMode(PickModeHandler* handler) override;
    SceneNode* PickNodeAt(HWND window, IPoint2 point, NodeFilter* filter) override;
    HWND AddPanelPage(HINSTANCE module, int templateId, DLGPROC proc, const char* title, LPARAM param, unsigned flags,
                      int category) override;
    void RemovePanelPage(HWND page) override;
    void ForwardPanelMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam) override;
    LogSys* Log() override;

    // Scene state, set directly by tests and the driver (no journal entry).
    StandinScene& Scene() { return scene_; }
    HostJournal& Journal() { return scene_.Journal(); }
    const std::vector<StandinNode*>& Selection() const { return selection_; }
    // The scene root cannot be selected: a list that holds it is refused as
    // a violation and the selection stays as it was.
    void SetSelection(std::vector<StandinNode*> nodes);
    void SetAnimationRange(AnimRange range) { range_ = range; }
    void SetCurrentTime(TimeValue t) { currentTime_ = t; }
    int RedrawCount() const { return redrawCount_; }
    // The system log's entries, in order.
    const std::vector<LogRecord>& LogRecords() const { return log_; }
    int SuspendDepth() const { return suspendDepth_; }

    // The pick mode that is active, or null.
    PickModeHandler* ActivePickMode() const { return activePickMode_; }
    // The host ends the active pick mode on its own (as when the user starts
    // another command).
    void EndPickMode();

    // --- Viewport picking (standin_pick.cpp) ---
    // What one mouse event in the viewport did.
    struct PickEvent {
        IPoint2 screen;            // where the event happened
        bool modeActive = false;   // a pick mode was active when it came
        bool accepted = false;     // TestPickPoint accepted the point
        bool picked = false;       // AcceptPick was called
        int answer = 0;            // AcceptPick's answer
        bool modeEnded = false;    // the mode was left during the event
        HCURSOR cursor = nullptr;  // the cursor shown afterwards
    };
    StandinViewport& ActiveViewport() { return viewport_; }
    // The mouse rests on a point: the host hit-tests it with the mode's
    // active filter, asks TestPickPoint and shows HitCursor or IdleCursor.
    PickEvent HoverViewport(IPoint2 screen);
    // A left click: as a hover, then AcceptPick if the point was accepted;
    // an answer of 1 ends the mode.
    PickEvent ClickViewport(IPoint2 screen);
    // The same at a screen point of its own under which lies `world`.
    PickEvent HoverViewport(const Point3& world);
    PickEvent ClickViewport(const Point3& world);
    // A right click in the viewport: ends the mode when RightClick answers 1.
    PickEvent RightClickViewport();
    // The cursor that the active mode's handler last asked for; null is the
    // host's own cursor, also shown while no mode is active.
    HCURSOR ShownCursor() const { return shownCursor_; }

    static StandinInterface* Current();

    // The command panel: a window of the host that parents the pages.
    HWND CommandPanelWindow();
    // The pages open, in the order they were added.
    const std::vector<PanelPage>& PanelPages() const { return pages_; }

    // The user opens a utility: one is open at a time, so an open one is
    // closed first. BeginEditParams gets this interface and `handle`, or
    // the host's own handle when it is null. CloseUtility calls
    // EndEditParams of the open utility, if any.
    void OpenUtility(UtilityPlugin* utility, UtilityHandle* handle = nullptr);
    void CloseUtility();
    UtilityPlugin* OpenedUtility() const { return utility_; }
    UtilityHandle* HostUtilityHandle();
    // The user selects `nodes`; an open utility hears of it through
    // SelectionChanged. Refused like SetSelection when it holds the root.
    void ChangeSelection(std::vector<StandinNode*> nodes);

private:
    // LogSys
    void LogEntry(DWORD type, BOOL dialogue, const char* title, const char* text) override;

    void Record(const char* operation);
    bool IsSelectable(const std::vector<StandinNode*>& nodes);
    void ClosePanel();

    StandinScene& scene_;
    std::vector<StandinNode*> selection_;
    AnimRange range_{0, 100};
    TimeValue currentTime_ = 0;
    int redrawCount_ = 0;
    std::vector<LogRecord> log_;
    int suspendDepth_ = 0;
    PickModeHandler* activePickMode_ = nullptr;
    StandinViewport viewport_{scene_.Journal()};
    HCURSOR shownCursor_ = nullptr;
    StandinInterface* previous_ = nullptr;
    HWND panelWindow_ = nullptr;
    std::vector<PanelPage> pages_;
    UtilityPlugin* utility_ = nullptr;
    UtilityHandle* utilityHandle_ = nullptr;
    char hostHandle_ = 0;  // its address is the host's utility handle
};

}  // namespace standin
