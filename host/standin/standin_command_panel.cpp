#include "standin/standin_interface.h"

namespace standin {

// The command panel is not modelled yet.
HWND StandinInterface::AddPanelPage(HINSTANCE module, int templateId, DLGPROC proc, const char* title,
                                    LPARAM param, unsigned flags, int category) {
    (void)module;
    (void)templateId;
    (void)proc;
    (void)title;
    (void)param;
    (void)flags;
    (void)category;
    Record("AddPanelPage");
    scene_.ReportViolation("AddPanelPage: the command panel is not available in this host yet");
    return nullptr;
}

void StandinInterface::RemovePanelPage(HWND page) {
    (void)page;
    Record("RemovePanelPage");
}

void StandinInterface::ForwardPanelMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)page;
    (void)message;
    (void)wParam;
    (void)lParam;
    Record("ForwardPanelMouse");
}

}  // namespace standin
