#include <algorithm>
#include <string>

#include "standin/standin_interface.h"

namespace standin {

namespace {

constexpr int kPanelWidth = 216;
constexpr int kPanelHeight = 640;

}  // namespace

HWND StandinInterface::CommandPanelWindow() {
    if (panelWindow_ == nullptr || !IsWindow(panelWindow_)) {
        panelWindow_ = CreateWindowExA(0, "Static", "Command Panel", WS_POPUP | WS_VISIBLE, 0, 0, kPanelWidth,
                                       kPanelHeight, nullptr, nullptr, nullptr, nullptr);
    }
    return panelWindow_;
}

HWND StandinInterface::AddPanelPage(HINSTANCE module, int templateId, DLGPROC proc, const char* title, LPARAM param,
                                    unsigned flags, int category) {
    HostCall call{"AddPanelPage"};
    call.index = templateId;
    call.text = title != nullptr ? title : "(no title)";
    scene_.Journal().Record(std::move(call));

    HWND page = CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), CommandPanelWindow(), proc, param);
    if (page == nullptr) {
        scene_.ReportViolation("AddPanelPage: dialog template " + std::to_string(templateId) +
                               " could not be made into a page");
        return nullptr;
    }
    PanelPage record;
    record.window = page;
    record.module = module;
    record.templateId = templateId;
    record.proc = proc;
    record.hasTitle = title != nullptr;
    record.title = title != nullptr ? title : "";
    record.param = param;
    record.flags = flags;
    record.category = category;
    pages_.push_back(std::move(record));
    return page;
}

void StandinInterface::RemovePanelPage(HWND page) {
    Record("RemovePanelPage");
    const auto found =
        std::find_if(pages_.begin(), pages_.end(), [page](const PanelPage& open) { return open.window == page; });
    if (found == pages_.end()) {
        scene_.ReportViolation("RemovePanelPage: not an open panel page");
        return;
    }
    pages_.erase(found);
    DestroyWindow(page);
}

void StandinInterface::ForwardPanelMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    HostCall call{"ForwardPanelMouse"};
    call.index = static_cast<int>(message);
    call.text = "wParam=" + std::to_string(wParam) + " lParam=" + std::to_string(lParam);
    scene_.Journal().Record(std::move(call));
    const bool open =
        std::any_of(pages_.begin(), pages_.end(), [page](const PanelPage& p) { return p.window == page; });
    if (!open) {
        scene_.ReportViolation("ForwardPanelMouse: not an open panel page");
    }
}

// The host closes: an open utility and pages left open are contract
// violations of the tool, cleaned up so that no window outlives the host.
void StandinInterface::ClosePanel() {
    if (utility_ != nullptr) {
        scene_.ReportViolation("a utility was still open when the host closed");
        CloseUtility();
    }
    if (!pages_.empty()) {
        scene_.ReportViolation(std::to_string(pages_.size()) + " panel page(s) still open when the host closed");
        for (const PanelPage& page : pages_) {
            if (IsWindow(page.window)) {
                DestroyWindow(page.window);
            }
        }
        pages_.clear();
    }
    if (panelWindow_ != nullptr && IsWindow(panelWindow_)) {
        DestroyWindow(panelWindow_);
    }
    panelWindow_ = nullptr;
}

}  // namespace standin
