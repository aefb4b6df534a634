#include "session_runner.h"

#include <fstream>
#include <sstream>

#include "shell/plugin_exports.h"
#include "standin/standin_custom_button.h"
#include "win32/win_api.h"

namespace driver {

namespace {

constexpr unsigned long kHostVersion = 0x1B580D00;
constexpr const char* kCategory = "Programs for Morvane";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsBareName(const std::string& name) {
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name.find('.') == std::string::npos;
}

std::string WindowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsRadioButton(HWND window) {
    return ClassOf(window) == "Button" &&
           (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + item;
    }
    return joined;
}

}  // namespace

SessionRunner::SessionRunner(SceneDocument& document, std::ostream& transcript, std::string pluginDir)
    : document_(document),
      transcript_(transcript),
      pluginDir_(std::move(pluginDir)),
      host_(*document.scene),
      order_(document.scene->PreOrder()),
      dialogs_([this](bool saving, const std::string& refusal) { return NextAnswer(saving, refusal); }) {
    host_.SetAnimationRange(document_.animationRange);
    host_.SetCurrentTime(document_.currentTime);
    std::vector<standin::StandinNode*> selection;
    for (std::size_t index : document_.selection) {
        selection.push_back(order_.at(index));
    }
    host_.SetSelection(std::move(selection));
    host_.Journal().SetEnabled(false);
}

SessionRunner::~SessionRunner() {
    host_.CloseUtility();
    openTool_ = nullptr;
}

std::vector<std::size_t> SessionRunner::SelectionIndices() const {
    std::vector<std::size_t> indices;
    for (standin::StandinNode* node : host_.Selection()) {
        for (std::size_t i = 0; i < order_.size(); ++i) {
            if (order_[i] == node) {
                indices.push_back(i);
            }
        }
    }
    return indices;
}

void SessionRunner::Fail(const std::string& what) const {
    throw SessionError(source_ + ":" + std::to_string(line_) + ": " + what);
}

void SessionRunner::Note(const std::string& line) { transcript_ << "    " << line << "\n"; }

void SessionRunner::Run(const std::vector<Action>& actions, const std::string& source) {
    source_ = source;
    // Indices are checked before anything runs, so a bad one writes nothing.
    for (const Action& action : actions) {
        for (std::size_t index : action.indices) {
            if (index >= order_.size()) {
                line_ = action.line;
                Fail("node index " + std::to_string(index) + " is out of range (the scene has " +
                     std::to_string(order_.size()) + " nodes, 0 to " + std::to_string(order_.size() - 1) + ")");
            }
        }
    }
    for (const Action& action : actions) {
        line_ = action.line;
        transcript_ << action.line << ": " << action.text << "\n";
        const SceneSnapshot before = TakeSnapshot(*document_.scene);
        const bool modeBefore = host_.ActivePickMode() != nullptr;
        const std::vector<ControlState> controlsBefore = Controls();
        RunOne(action);
        ReportEffects(before, modeBefore, controlsBefore);
    }
}

void SessionRunner::RunOne(const Action& action) {
    switch (action.kind) {
        case Action::Kind::Open: Open(action); break;
        case Action::Kind::Close: Close(); break;
        case Action::Kind::Select: Select(action); break;
        case Action::Kind::Press: Press(action); break;
        case Action::Kind::Radio: Radio(action); break;
        case Action::Kind::Click: Click(action); break;
        case Action::Kind::RightClick: RightClick(); break;
        case Action::Kind::EndPick:
            if (host_.ActivePickMode() == nullptr) {
                Note("no pick mode is active");
            }
            host_.EndPickMode();
            break;
        case Action::Kind::Answer:
            answers_.push_back(action);
            Note(action.cancel ? "the next file dialog will be cancelled"
                               : "the next file dialog will be answered with " + Quoted(action.argument));
            break;
        case Action::Kind::Save: Save(action); break;
        case Action::Kind::Print: transcript_ << FormatNodeTable(TakeSnapshot(*document_.scene)); break;
    }
}

void SessionRunner::Open(const Action& action) {
    if (openTool_ != nullptr) {
        Fail("a tool is already open (" + Quoted(openToolName_) + "); close it first");
    }
    const std::string path = IsBareName(action.argument) ? pluginDir_ + "/" + action.argument + ".dlu" : action.argument;
    auto loaded = libraries_.find(path);
    if (loaded == libraries_.end()) {
        std::string error;
        std::unique_ptr<standin::PluginLibrary> library = standin::PluginLibrary::Load(path, error);
        if (!library) {
            Fail(error);
        }
        loaded = libraries_.emplace(path, std::move(library)).first;
    }
    standin::PluginLibrary& library = *loaded->second;
    if (library.LibVersion() != kHostVersion) {
        std::ostringstream version;
        version << std::hex << library.LibVersion();
        Fail(path + ": built for host version 0x" + version.str() + ", not 0x1b580d00");
    }
    ClassDesc* descriptor = library.LibNumberClasses() >= 1 ? library.LibClassDesc(0) : nullptr;
    if (descriptor == nullptr) {
        Fail(path + ": has no class descriptor at index 0");
    }
    if (descriptor->SuperClassID() != UTILITY_CLASS_ID) {
        Fail(path + ": its class is not a utility (super-class 0x1020)");
    }
    const char* category = descriptor->Category();
    if (category == nullptr || std::string(category) != kCategory) {
        Fail(path + ": its class is not in the category " + Quoted(kCategory));
    }
    const Class_ID id = descriptor->ClassID();
    if (id == Class_ID(0, 0)) {
        Fail(path + ": its class has no class identifier");
    }
    auto* utility = static_cast<UtilityPlugin*>(descriptor->Create(0));
    if (utility == nullptr) {
        Fail(path + ": its class descriptor created no utility");
    }
    const char* className = descriptor->ClassName();
    openToolName_ = className != nullptr ? className : action.argument;
    host_.OpenUtility(utility);
    openTool_ = utility;
    std::ostringstream opened;
    opened << "opened " << Quoted(openToolName_) << " (class 0x" << std::hex << id.a << " 0x" << id.b << ")";
    Note(opened.str());
}

void SessionRunner::Close() {
    if (openTool_ == nullptr) {
        Fail("no tool is open");
    }
    host_.CloseUtility();
    openTool_ = nullptr;
    Note("closed " + Quoted(openToolName_));
}

void SessionRunner::Select(const Action& action) {
    std::vector<standin::StandinNode*> nodes;
    std::vector<std::string> names;
    for (std::size_t index : action.indices) {
        nodes.push_back(order_[index]);
        names.push_back(std::to_string(index) + " " + Quoted(order_[index]->Name()));
    }
    host_.ChangeSelection(std::move(nodes));
    Note(names.empty() ? "selection cleared" : "selected " + Join(names));
}

HWND SessionRunner::Panel() const {
    const auto& pages = host_.PanelPages();
    return pages.empty() ? nullptr : pages.back().window;
}

HWND SessionRunner::FindControl(const std::string& caption, bool customButton) const {
    HWND panel = Panel();
    if (panel == nullptr) {
        Fail("no tool panel is open");
    }
    for (HWND child : ChildrenOf(panel)) {
        const bool matches = customButton ? ClassOf(child) == "CustButton" : IsRadioButton(child);
        if (matches && WindowText(child) == caption) {
            return child;
        }
    }
    Fail(std::string("the panel has no ") + (customButton ? "button " : "radio button ") + Quoted(caption));
}

void SessionRunner::Press(const Action& action) {
    HWND button = FindControl(action.argument, true);
    if (!IsWindowEnabled(button)) {
        Note(Quoted(action.argument) + " is disabled: nothing happens");
        return;
    }
    standin::PressCustomButton(button);
}

void SessionRunner::Radio(const Action& action) {
    HWND radio = FindControl(action.argument, false);
    if (!IsWindowEnabled(radio)) {
        Note(Quoted(action.argument) + " is disabled: nothing happens");
        return;
    }
    SendMessageA(radio, BM_CLICK, 0, 0);
}

void SessionRunner::Click(const Action& action) {
    if (host_.ActivePickMode() == nullptr) {
        Note("no pick mode is active: the click selects nothing here");
        return;
    }
    const standin::PickEvent event = host_.ClickViewport(action.point);
    if (!event.accepted) {
        Note("the point was refused");
    }
}

void SessionRunner::RightClick() {
    HWND panel = Panel();
    if (panel == nullptr) {
        Fail("no tool panel is open");
    }
    SendMessageA(panel, WM_RBUTTONDOWN, 0, 0);
    SendMessageA(panel, WM_RBUTTONUP, 0, 0);
}

void SessionRunner::Save(const Action& action) {
    std::ofstream out(action.argument, std::ios::binary | std::ios::trunc);
    out << WriteSceneFile(*document_.scene, SelectionIndices(), document_.animationRange, document_.currentTime);
    out.close();
    if (!out) {
        Fail("cannot write " + Quoted(action.argument));
    }
    Note("scene written to " + Quoted(action.argument));
}

std::string SessionRunner::NextAnswer(bool saving, const std::string& refusal) {
    if (!refusal.empty()) {
        Note("the dialog refused the answer: " + refusal);
    }
    if (answers_.empty()) {
        Note(std::string("the ") + (saving ? "save" : "open") + " dialog got no answer: cancelled");
        return "";
    }
    Action answer = answers_.front();
    answers_.pop_front();
    return answer.cancel ? "" : answer.argument;
}

std::vector<SessionRunner::ControlState> SessionRunner::Controls() const {
    std::vector<ControlState> controls;
    HWND panel = Panel();
    if (panel == nullptr) {
        return controls;
    }
    for (HWND child : ChildrenOf(panel)) {
        ControlState state;
        state.caption = WindowText(child);
        state.enabled = IsWindowEnabled(child) != FALSE;
        if (ClassOf(child) == "CustButton") {
            state.checked = standin::CustomButtonStateOf(child).checked;
        } else if (IsRadioButton(child)) {
            state.checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        } else {
            continue;
        }
        controls.push_back(state);
    }
    return controls;
}

void SessionRunner::ReportEffects(const SceneSnapshot& before, bool modeBefore,
                                  const std::vector<ControlState>& controlsBefore) {
    const FileDialogUser::Outcome dialog = dialogs_.TakeOutcome();
    if (dialog.ran) {
        if (!dialog.chosen) {
            Note(std::string(dialog.saving ? "save" : "open") + " dialog cancelled");
        } else {
            Note(std::string(dialog.saving ? "file written: " : "file read: ") + Quoted(dialog.path));
        }
    }
    for (const NodeChange& change : CompareSnapshots(before, TakeSnapshot(*document_.scene))) {
        std::vector<std::string> aspects;
        for (const std::string& line : change.lines) {
            aspects.push_back(line.substr(0, line.find(' ')));
        }
        Note("changed node " + std::to_string(change.index) + " " + Quoted(change.name) + ": " + Join(aspects));
    }
    const bool modeNow = host_.ActivePickMode() != nullptr;
    if (modeNow != modeBefore) {
        Note(modeNow ? "pick mode entered" : "pick mode left");
    }
    const std::vector<ControlState> controls = Controls();
    if (controls.size() == controlsBefore.size()) {
        std::vector<std::string> enabled, disabled, checked, unchecked;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ControlState& was = controlsBefore[i];
            const ControlState& now = controls[i];
            if (was.enabled != now.enabled) {
                (now.enabled ? enabled : disabled).push_back(Quoted(now.caption));
            }
            if (was.checked != now.checked) {
                (now.checked ? checked : unchecked).push_back(Quoted(now.caption));
            }
        }
        if (!disabled.empty()) Note("disabled: " + Join(disabled));
        if (!enabled.empty()) Note("enabled: " + Join(enabled));
        if (!checked.empty()) Note("checked: " + Join(checked));
        if (!unchecked.empty()) Note("unchecked: " + Join(unchecked));
    } else {
        for (const ControlState& control : controls) {
            Note("control " + Quoted(control.caption) + (control.enabled ? " enabled" : " disabled") +
                 (control.checked ? ", checked" : ""));
        }
    }
}

}  // namespace driver
