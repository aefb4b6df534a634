#include "standin/standin_interface.h"

namespace standin {

// Viewport picking is not modelled yet: no node lies under any point.
SceneNode* StandinInterface::PickNodeAt(HWND window, IPoint2 point, NodeFilter* filter) {
    (void)window;
    (void)point;
    (void)filter;
    Record("PickNodeAt");
    scene_.ReportViolation("PickNodeAt: viewport picking is not available in this host yet");
    return nullptr;
}

}  // namespace standin
