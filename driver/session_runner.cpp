#include "session_runner.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "display_path.h"
#include "standin/standin_custom_button.h"
#include "win32/win_api.h"
#include "window_queries.h"

namespace driver {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsRadioButton(HWND window) {
    return IsWindowClass(window, "Button") &&
           (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + item;
    }
    return joined;
}

std::string HexId(std::uint32_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

}  // namespace

SessionRunner::SessionRunner(SceneFile& file, std::ostream& transcript, std::string pluginDir)
    : file_(file),
      document_(file.Document()),
      transcript_(transcript),
      pluginDir_(std::move(pluginDir)),
      host_(*document_.scene),
      order_(document_.scene->PreOrder()),
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

void SessionRunner::Note(const std::string& line) {
    transcript_ << "    " << line << "\n";
    ++notes_;
}

void SessionRunner::Run(const std::vector<Action>& actions, const std::string& source) {
    source_ = source;
    Check(actions);
    violationsSeen_ = document_.scene->Violations().size();
    for (const Action& action : actions) {
        line_ = action.line;
        transcript_ << "line " << action.line << ": " << action.text << "\n";
        const SceneSnapshot before = TakeSnapshot(*document_.scene);
        const bool modeBefore = host_.ActivePickMode() != nullptr;
        const std::vector<ControlState> controlsBefore = Controls();
        notes_ = 0;
        RunOne(action);
        ReportEffects(before, modeBefore, controlsBefore);
        if (notes_ == 0 && action.kind != Action::Kind::Print) {
            Note("nothing happens");
        }
    }
    line_ = 0;
    for (const Action& answer : answers_) {
        transcript_ << "end: the answer of line " << answer.line << " was never asked for\n";
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
        case Action::Kind::EndPick: EndPick(); break;
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
    ToolLibrary& tool = Library(ToolPath(action.argument, pluginDir_));
    auto* utility = static_cast<UtilityPlugin*>(tool.descriptor->Create(0));
    if (utility == nullptr) {
        Fail(action.argument + ": its class descriptor created no utility");
    }
    openToolName_ = tool.className;
    host_.OpenUtility(utility);
    openTool_ = utility;
    const Class_ID id = tool.descriptor->ClassID();
    Note("opened " + Quoted(openToolName_) + " (class " + HexId(id.a) + " " + HexId(id.b) + ")");
}

void SessionRunner::Close() {
    host_.CloseUtility();
    openTool_ = nullptr;
    Note("closed " + Quoted(openToolName_));
}

void SessionRunner::Select(const Action& action) {
    std::vector<standin::StandinNode*> nodes;
    std::vector<std::string> names;
    for (std::size_t index : action.indices) {
        nodes.push_back(order_[index]);
        names.push_back(std::to_string(index) + " " + QuoteName(order_[index]->Name()));
    }
    host_.ChangeSelection(std::move(nodes));
    Note(names.empty() ? "selection cleared" : "selected " + Join(names));
}

HWND SessionRunner::Panel() const {
    const auto& pages = host_.PanelPages();
    return pages.empty() ? nullptr : pages.back().window;
}

// The check has made sure that the panel and the control exist.
HWND SessionRunner::FindControl(const std::string& caption, bool customButton) const {
    HWND panel = Panel();
    if (panel != nullptr) {
        for (HWND child : ChildWindows(panel)) {
            const bool matches = customButton ? IsWindowClass(child, "CustButton") : IsRadioButton(child);
            if (matches && WindowText(child) == caption) {
                return child;
            }
        }
    }
    Fail("the panel has no " + std::string(customButton ? "button " : "radio button ") + Quoted(caption));
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
        Note("no pick mode is active: the click does nothing");
        return;
    }
    const standin::StandinInterface::PickEvent event = host_.ClickViewport(action.point);
    if (!event.accepted) {
        Note("the pick mode refused the point");
    } else {
        Note("picked " + FormatPoint(action.point));
    }
}

void SessionRunner::RightClick() {
    HWND panel = Panel();
    if (panel == nullptr) {
        Note("the tool has no panel: nothing happens");
        return;
    }
    SendMessageA(panel, WM_RBUTTONDOWN, 0, 0);
    SendMessageA(panel, WM_RBUTTONUP, 0, 0);
}

void SessionRunner::EndPick() {
    if (host_.ActivePickMode() == nullptr) {
        Note("no pick mode is active: nothing happens");
        return;
    }
    host_.EndPickMode();
}

void SessionRunner::Save(const Action& action) {
    pending_.push_back({action.argument, file_.Write(action.argument, SelectionIndices())});
    Note("scene kept for " + Quoted(DisplayPath(action.argument)) + " (written when the session has succeeded)");
}

std::string SessionRunner::NextAnswer(bool saving, const std::string& refusal) {
    const std::string dialog = saving ? "save dialog" : "open dialog";
    if (!refusal.empty()) {
        Note("the " + dialog + " refused " + Quoted(lastAnswer_) + ": " + HideWorkingFolder(refusal));
    }
    if (answers_.empty()) {
        Note("the " + dialog + " has no answer left: cancelled");
        lastAnswer_.clear();
        return "";
    }
    const Action answer = answers_.front();
    answers_.pop_front();
    lastAnswer_ = answer.cancel ? "" : answer.argument;
    return lastAnswer_;
}

std::vector<SessionRunner::ControlState> SessionRunner::Controls() const {
    std::vector<ControlState> controls;
    HWND panel = Panel();
    if (panel == nullptr) {
        return controls;
    }
    for (HWND child : ChildWindows(panel)) {
        ControlState state;
        state.caption = WindowText(child);
        state.enabled = IsWindowEnabled(child) != FALSE;
        if (IsWindowClass(child, "CustButton")) {
            state.customButton = true;
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

void SessionRunner::ReportDialog() {
    const FileDialogUser::Outcome dialog = dialogs_.TakeOutcome();
    if (!dialog.ran) {
        return;
    }
    const std::string name = dialog.saving ? "save dialog" : "open dialog";
    if (!dialog.chosen) {
        Note(name + " cancelled");
        return;
    }
    Note(name + " chose " + Quoted(DisplayPath(dialog.path)));
    if (dialog.saving) {
        std::ifstream written(dialog.path, std::ios::binary);
        if (!written) {
            Note("no file " + Quoted(DisplayPath(dialog.path)) + " was written");
            return;
        }
        const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
        const auto lines = std::count(text.begin(), text.end(), '\n') + (!text.empty() && text.back() != '\n' ? 1 : 0);
        Note("file " + Quoted(DisplayPath(dialog.path)) + " now holds " + std::to_string(lines) +
             (lines == 1 ? " line" : " lines"));
    }
}

void SessionRunner::ReportEffects(const SceneSnapshot& before, bool modeBefore,
                                  const std::vector<ControlState>& controlsBefore) {
    ReportDialog();
    for (const NodeChange& change : CompareSnapshots(before, TakeSnapshot(*document_.scene))) {
        Note("changed node " + std::to_string(change.index) + " " + QuoteName(change.name) + ": " +
             Join(change.aspects));
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
    } else if (!controls.empty()) {
        std::vector<std::string> states;
        for (const ControlState& control : controls) {
            states.push_back(Quoted(control.caption) + (control.enabled ? " enabled" : " disabled") +
                             (control.checked ? " checked" : ""));
        }
        Note("panel: " + Join(states));
    }
    const std::vector<std::string>& violations = document_.scene->Violations();
    for (; violationsSeen_ < violations.size(); ++violationsSeen_) {
        Note("the host refused a call: " + violations[violationsSeen_]);
    }
}

}  // namespace driver
