#include "panel_frame.h"

#include <exception>
#include <string>

#include "module_state.h"
#include "shell_resource.h"
#include "tool_log.h"

INT_PTR CALLBACK FrameDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        auto* frame = reinterpret_cast<PanelFrame*>(GetWindowLongA(window, GWL_USERDATA));
        if (message == WM_INITDIALOG) {
            SetWindowLongA(window, GWL_USERDATA, static_cast<LONG>(lParam));
            frame = reinterpret_cast<PanelFrame*>(lParam);
        }
        if (frame == nullptr) {
            return 0;
        }
        return frame->DlgProc(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

void PanelFrame::BeginEditParams(Interface* ip, UtilityHandle* handle) {
    (void)handle;
    if (ip == nullptr) {
        return;  // no host to open the panel in, nor to tell
    }
    if (panel_ != nullptr) {
        LogToolEntry(ip, SYSLOG_ERROR, "The host opened the panel while it was open; the call was refused");
        return;
    }
    ip_ = ip;
    panel_ = ip->AddPanelPage(ModuleHandle(), IDD_PANEL, FrameDialogProc, GetString(IDS_PARAMS),
                              reinterpret_cast<LPARAM>(this), 0, UTILITY_PANEL_CATEGORY);
    PanelOpened(*ip);
}

void PanelFrame::EndEditParams(Interface* ip, UtilityHandle* handle) {
    (void)handle;
    if (panel_ == nullptr || ip != ip_) {
        if (ip != nullptr) {
            LogToolEntry(ip, SYSLOG_ERROR,
                         panel_ == nullptr
                             ? "The host closed the panel while it was closed; the call was refused"
                             : "The host closed the panel through another interface; the call was refused");
        }
        return;
    }
    PanelClosing();
    // A button that GetICustButton could not give is null: nothing is released for it.
    for (auto button = buttons_.rbegin(); button != buttons_.rend(); ++button) {
        if (button->second != nullptr) {
            ReleaseICustButton(button->second);
        }
    }
    buttons_.clear();
    ip_ = nullptr;
    ip->RemovePanelPage(panel_);
    panel_ = nullptr;
}

ICustButton* PanelFrame::AddButton(int item, CustButtonType type) {
    ICustButton* button = GetICustButton(GetDlgItem(panel_, item));
    buttons_.emplace_back(item, button);
    if (button != nullptr) {
        button->SetButtonType(type);
    }
    return button;
}

ICustButton* PanelFrame::Button(int item) const {
    for (const auto& button : buttons_) {
        if (button.first == item) {
            return button.second;
        }
    }
    return nullptr;
}

INT_PTR PanelFrame::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_DESTROY:
            return 1;
        case WM_COMMAND:
            RunCommand(LOWORD(wParam));
            return 1;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (ip_ != nullptr) {
                ip_->ForwardPanelMouse(window, message, wParam, lParam);
            }
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return RightButton() ? 1 : 0;
        default:
            return 0;
    }
}

void PanelFrame::RunCommand(int item) {
    try {
        Command(item);
    } catch (const std::exception& failure) {
        const std::string text = "The command of control " + std::to_string(item) + " failed: " + failure.what();
        LogToolEntry(ip_, SYSLOG_ERROR, text.c_str());
    } catch (...) {
        const std::string text = "The command of control " + std::to_string(item) + " failed";
        LogToolEntry(ip_, SYSLOG_ERROR, text.c_str());
    }
}
