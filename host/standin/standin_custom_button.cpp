#include "standin/standin_custom_button.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin/ui_reports.h"

namespace standin {

namespace {

int g_initCalls = 0;

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

// Every interface handed out; released ones stay so that their use is
// recognised instead of followed.
std::vector<std::unique_ptr<StandinCustButton>>& Interfaces() {
    static std::vector<std::unique_ptr<StandinCustButton>> interfaces;
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
    CustomButtonState& state = StateOf(button);
    if (state.type == CBT_CHECK) {
        state.checked = !state.checked;
    }
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
}

CustomButtonState CustomButtonStateOf(HWND button) {
    const auto found = States().find(button);
    if (found == States().end() || !IsWindow(button)) {
        return {};
    }
    return found->second;
}

int OpenCustButtonCount() {
    int open = 0;
    for (const auto& button : Interfaces()) {
        open += button->released ? 0 : 1;
    }
    return open;
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
        buttonClass.lpfnWndProc = DefWindowProcA;
        buttonClass.hInstance = GetModuleHandleA(nullptr);
        buttonClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        buttonClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        buttonClass.lpszClassName = "CustButton";
        registered = RegisterClassA(&buttonClass) != 0;
    }
#endif
}

ICustButton* GetICustButton(HWND window) {
    if (!IsCustButtonWindow(window)) {
        ReportUiViolation("GetICustButton: not a live CustButton window");
        return nullptr;
    }
    StateOf(window);
    Interfaces().push_back(std::make_unique<StandinCustButton>(window));
    return Interfaces().back().get();
}

void ReleaseICustButton(ICustButton* button) {
    if (button == nullptr) {
        return;
    }
    for (const auto& known : Interfaces()) {
        if (known.get() == button) {
            if (known->released) {
                ReportUiViolation("ReleaseICustButton: interface released twice");
            }
            known->released = true;
            return;
        }
    }
    ReportUiViolation("ReleaseICustButton: not an interface from GetICustButton");
}
