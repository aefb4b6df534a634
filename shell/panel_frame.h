#pragma once

#include <utility>
#include <vector>

#include "custom_button.h"
#include "interface.h"
#include "utility_plugin.h"
#include "win32/win_api.h"

// The frame of a tool's utility panel, shared by both tools in the manner of
// a plug-in SDK's helper base: it owns the panel's life cycle, and a tool
// derived from it keeps only what is its own (its buttons, its commands).
// Opening adds the page (template IDD_PANEL of this library, title string
// IDS_PARAMS) and then calls PanelOpened, where the tool gets its custom
// buttons with AddButton. Closing calls PanelClosing, releases the buttons,
// last first, and removes the page. While the panel is open, the left mouse
// button over it goes to the host; a command that fails is logged through
// the host's log under the tool's name, and no exception leaves the panel.
// A host that opens the panel while it is open, or closes it while it is
// closed, is refused: the call is logged as an error and changes nothing.
class PanelFrame : public UtilityPlugin {
public:
    void BeginEditParams(Interface* ip, UtilityHandle* handle) final;
    void EndEditParams(Interface* ip, UtilityHandle* handle) final;

    // The panel's messages, routed by the frame dialog procedure.
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // State, for tests.
    HWND Panel() const { return panel_; }
    Interface* StoredInterface() const { return ip_; }

    PanelFrame(const PanelFrame&) = delete;
    PanelFrame& operator=(const PanelFrame&) = delete;

protected:
    PanelFrame() = default;
    ~PanelFrame() = default;

    // The page exists: get the buttons (AddButton) and set the controls up.
    virtual void PanelOpened(Interface& ip) = 0;
    // The panel is closing; page, buttons and interface are still valid.
    virtual void PanelClosing() {}
    // Any notification of control `item` (WM_COMMAND).
    virtual void Command(int item) = 0;
    // The right mouse button went down or up over the panel; true when the
    // tool handled it.
    virtual bool RightButton() { return false; }

    // Gets the custom button of control `item` and gives it `type`. A button
    // the host cannot give is null and keeps its default setup.
    ICustButton* AddButton(int item, CustButtonType type);
    // The custom button of control `item`; null while the panel is closed.
    ICustButton* Button(int item) const;
    // Lets a command run without an open panel.
    void SetStoredInterface(Interface* ip) { ip_ = ip; }

private:
    void RunCommand(int item);

    HWND panel_ = nullptr;
    Interface* ip_ = nullptr;
    std::vector<std::pair<int, ICustButton*>> buttons_;  // control id, button; in the order added
};

// The frame dialog procedure, one per library: binds the page window to the
// frame that WM_INITDIALOG carries and routes every later message to its
// DlgProc. Messages of an unbound window answer 0. No exception leaves it:
// a message whose handling fails answers 0.
INT_PTR CALLBACK FrameDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
