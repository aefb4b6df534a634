#pragma once

#include <vector>

#include "host_api.h"
#include "interface.h"
#include "standin/standin_scene.h"

namespace standin {

// The stand-in host's core interface over one StandinScene. Constructing it
// makes it the interface that GetCOREInterface() returns until it is
// destroyed. Every call the tools make is recorded in the scene's journal.
class HOST_API StandinInterface final : public Interface {
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
    HWND AddPanelPage(HINSTANCE module, int templateId, DLGPROC proc, const char* title, LPARAM param,
                      unsigned flags, int category) override;
    void RemovePanelPage(HWND page) override;
    void ForwardPanelMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Scene state, set directly by tests and the driver (no journal entry).
    StandinScene& Scene() { return scene_; }
    HostJournal& Journal() { return scene_.Journal(); }
    const std::vector<StandinNode*>& Selection() const { return selection_; }
    void SetSelection(std::vector<StandinNode*> nodes) { selection_ = std::move(nodes); }
    void SetAnimationRange(AnimRange range) { range_ = range; }
    void SetCurrentTime(TimeValue t) { currentTime_ = t; }
    int RedrawCount() const { return redrawCount_; }
    int SuspendDepth() const { return suspendDepth_; }

    // The pick mode that is active, or null.
    PickModeHandler* ActivePickMode() const { return activePickMode_; }
    // The host ends the active pick mode on its own (as when the user starts
    // another command).
    void EndPickMode();

    static StandinInterface* Current();

private:
    void Record(const char* operation);

    StandinScene& scene_;
    std::vector<StandinNode*> selection_;
    AnimRange range_{0, 100};
    TimeValue currentTime_ = 0;
    int redrawCount_ = 0;
    int suspendDepth_ = 0;
    PickModeHandler* activePickMode_ = nullptr;
    StandinInterface* previous_ = nullptr;
};

}  // namespace standin
