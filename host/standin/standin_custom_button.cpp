#include "standin/standin_custom_button.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "standin/ui_reports.h"

namespace standin {

namespace {

int g_initCalls = 0;
bool g_unavailable = false;

bool IsCustButtonWindow(HWND window) {
    char name[32] = {};
    if (window == nullptr || !IsWindow(window) || GetClassNameA(window, name, sizeof name) == 0) {
        return false;
    }
    const std::string lower = [&] {
        std::string text(name);
        for (char& c : text) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return text;
    }();
    return lower == "custbutton";
}

// Button state per window; entries of windows that are gone are dropped
// whenever a new one is added.
std::map<HWND, CustomButtonState>& States() {
    static std::map<HWND, CustomButtonState> states;
    return states;
}

CustomButtonState& StateOf(HWND window) {
    auto& states = States();
    auto found = states.find(window);
    if (found != states.end()) {
        return found->second;
    }
    for (auto it = states.begin(); it != states.end();) {
        it = IsWindow(it->first) ? std::next(it) : states.erase(it);
    }
    CustomButtonState& state = states[window];
    state.known = true;
    return state;
}

void Repaint(HWND window) {
#if defined(_WIN32)
    InvalidateRect(window, nullptr, TRUE);
#else
    (void)window;
#endif
}

#if defined(_WIN32)
// The window procedure of "CustButton" windows: a push or check button
// drawn as a raised (or, checked, sunken) frame with its window text,
// greyed while disabled. A click or BM_CLICK of an enabled button toggles a
// check button and sends WM_COMMAND (id, BN_CLICKED) to the parent.
void ClickCustButton(HWND window) {
    if (!IsWindowEnabled(window)) {
        return;
    }
    const auto found = States().find(window);
    if (found != States().end() && found->second.type == CBT_CHECK) {
        found->second.checked = !found->second.checked;
        Repaint(window);
    }
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED),
                 reinterpret_cast<LPARAM>(window));
}

void DrawCustButton(HWND window, HDC dc) {
    RECT frame;
    GetClientRect(window, &frame);
    const auto found = States().find(window);
    const bool checked = found != States().end() && found->second.checked;
    const bool pressed = GetCapture() == window && (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
    if (checked && found->second.highlightSet) {
        HBRUSH highlight = CreateSolidBrush(found->second.highlight);
        FillRect(dc, &frame, highlight);
        DeleteObject(highlight);
    } else {
        FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
    }
    DrawEdge(dc, &frame, checked || pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetParent(window), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(window) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextA(dc, text, -1, &frame, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (oldFont != nullptr) {
        SelectObject(dc, oldFont);
    }
}

void PaintCustButton(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr) {
        DrawCustButton(window, dc);
        EndPaint(window, &paint);
    }
}

LRESULT CALLBACK CustButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_PAINT:
                PaintCustButton(window);
                return 0;
            case WM_PRINTCLIENT:
                DrawCustButton(window, reinterpret_cast<HDC>(wParam));
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_ENABLE:
            case WM_SETTEXT: {
                const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
                Repaint(window);
                return result;
            }
            case WM_LBUTTONDOWN:
                SetCapture(window);
                Repaint(window);
                return 0;
            case WM_LBUTTONUP: {
                if (GetCapture() != window) {
                    return 0;
                }
                ReleaseCapture();
                Repaint(window);
                RECT frame;
                GetClientRect(window, &frame);
                const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                if (PtInRect(&frame, at)) {
                    ClickCustButton(window);
                }
                return 0;
            }
            case BM_CLICK:
                ClickCustButton(window);
                return 0;
            case BM_GETCHECK: {
                const auto found = States().find(window);
                return found != States().end() && found->second.checked ? BST_CHECKED : BST_UNCHECKED;
            }
            case BM_SETCHECK:
                StateOf(window).checked = wParam == BST_CHECKED;
                Repaint(window);
                return 0;
            case WM_GETDLGCODE:
                return DLGC_BUTTON;
            case WM_NCDESTROY:
                States().erase(window);
                break;
            default:
                break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}
#endif

void Record(const char* operation, HWND window, std::string detail) {
    HostCall call{operation};
    call.index = GetDlgCtrlID(window);
    call.text = std::move(detail);
    RecordUiCall(std::move(call));
}

class StandinCustButton final : public ICustButton {
public:
    explicit StandinCustButton(HWND window) : window_(window), id_(GetDlgCtrlID(window)) {}

    void EnableButton(int on) override {
        if (Usable("EnableButton")) {
            Record("EnableButton", window_, on ? "1" : "0");
            EnableWindow(window_, on ? TRUE : FALSE);
        }
    }
    void SetButtonType(int type) override {
        if (!Usable("SetButtonType")) {
            return;
        }
        Record("SetButtonType", window_, std::to_string(type));
        if (type != CBT_PUSH && type != CBT_CHECK) {
            ReportUiViolation("SetButtonType(" + std::to_string(type) + ") of button " + std::to_string(id_) +
                              ": no such button type");
            return;
        }
        StateOf(window_).type = type;
    }
    void SetButtonChecked(int checked) override {
        if (Usable("SetButtonChecked")) {
            Record("SetButtonChecked", window_, checked ? "1" : "0");
            StateOf(window_).checked = checked != 0;
            Repaint(window_);
        }
    }
    int IsChecked() override {
        if (!Usable("IsChecked")) {
            return 0;
        }
        return StateOf(window_).checked ? 1 : 0;
    }
    void SetButtonHighlight(COLORREF colour) override {
        if (Usable("SetButtonHighlight")) {
            Record("SetButtonHighlight", window_, std::to_string(colour));
            CustomButtonState& state = StateOf(window_);
            state.highlightSet = true;
            state.highlight = colour;
            Repaint(window_);
        }
    }

    bool released = false;

private:
    bool Usable(const char* operation) const {
        if (released) {
            ReportUiViolation(std::string("ICustButton::") + operation + " of button " + std::to_string(id_) +
                              " after ReleaseICustButton");
            return false;
        }
        if (!IsWindow(window_)) {
            ReportUiViolation(std::string("ICustButton::") + operation + " of button " + std::to_string(id_) +
                              " whose window is destroyed");
            return false;
        }
        return true;
    }

    HWND window_;
    int id_;
};

// The interfaces handed out and not released, by address; and the last
// ones released, kept a while so that a use of one is recognised instead
// of followed. Older ones are freed: what the host keeps follows what the
// tools hold, not every interface they ever had.
struct HandedOut {
    static constexpr std::size_t kReleasedKept = 1024;
    std::unordered_map<const ICustButton*, std::unique_ptr<StandinCustButton>> open;
    std::unordered_map<const ICustButton*, std::unique_ptr<StandinCustButton>> released;
    std::deque<const ICustButton*> releasedOrder;

    void Release(const ICustButton* button) {
        auto found = open.find(button);
        found->second->released = true;
        released.emplace(button, std::move(found->second));
        open.erase(found);
        releasedOrder.push_back(button);
        if (releasedOrder.size() > kReleasedKept) {
            released.erase(releasedOrder.front());
            releasedOrder.pop_front();
        }
    }
};

HandedOut& Interfaces() {
    static HandedOut interfaces;
    return interfaces;
}

}  // namespace

int InitCustomControlsCalls() { return g_initCalls; }

bool PressCustomButton(HWND button) {
    if (!IsCustButtonWindow(button)) {
        ReportUiViolation("PressCustomButton: not a live CustButton window");
        return false;
    }
    if (!IsWindowEnabled(button)) {
        Record("PressCustomButton", button, "disabled");
        return false;
    }
    Record("PressCustomButton", button, "");
#if defined(_WIN32)
    // The button's own window procedure toggles and notifies its parent.
    SendMessageA(button, BM_CLICK, 0, 0);
#else
    CustomButtonState& state = StateOf(button);
    if (state.type == CBT_CHECK) {
        state.checked = !state.checked;
    }
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
#endif
    return true;
}

CustomButtonState CustomButtonStateOf(HWND button) {
    const auto found = States().find(button);
    if (found == States().end() || !IsWindow(button)) {
        return {};
    }
    return found->second;
}

int OpenCustButtonCount() { return static_cast<int>(Interfaces().open.size()); }

void SetCustButtonsUnavailable(bool cannot) { g_unavailable = cannot; }

void ForgetReleasedCustButtons() {
    Interfaces().released.clear();
    Interfaces().releasedOrder.clear();
    auto& states = States();
    for (auto it = states.begin(); it != states.end();) {
        it = IsWindow(it->first) ? std::next(it) : states.erase(it);
    }
}

}  // namespace standin

using namespace standin;

void InitCustomControls(HINSTANCE module) {
    (void)module;
    ++g_initCalls;
#if defined(_WIN32)
    // Registered once for every module of the process.
    static bool registered = false;
    if (!registered) {
        WNDCLASSA buttonClass{};
        buttonClass.style = CS_GLOBALCLASS;
        buttonClass.lpfnWndProc = CustButtonProc;
        buttonClass.hInstance = GetModuleHandleA(nullptr);
        buttonClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        buttonClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        buttonClass.lpszClassName = "CustButton";
        registered = RegisterClassA(&buttonClass) != 0;
    }
#endif
}

ICustButton* GetICustButton(HWND window) {
    if (g_unavailable) {
        return nullptr;
    }
    if (!IsCustButtonWindow(window)) {
        ReportUiViolation("GetICustButton: not a live CustButton window");
        return nullptr;
    }
    StateOf(window);
    auto button = std::make_unique<StandinCustButton>(window);
    ICustButton* const handed = button.get();
    Interfaces().open.emplace(handed, std::move(button));
    return handed;
}

void ReleaseICustButton(ICustButton* button) {
    if (button == nullptr) {
        return;
    }
    HandedOut& interfaces = Interfaces();
    if (interfaces.open.count(button) != 0) {
        interfaces.Release(button);
        return;
    }
    if (interfaces.released.count(button) != 0) {
        ReportUiViolation("ReleaseICustButton: interface released twice");
        return;
    }
    ReportUiViolation("ReleaseICustButton: not an interface from GetICustButton");
}
