#include "session/session_replay.h"

#include <sstream>

#include "files/display_path.h"
#include "hosting/live_panel.h"
#include "hosting/window_records.h"
#include "log_sys.h"
#include "session/effect_reports.h"
#include "session/names_count.h"
#include "session/namesake_pairs.h"
#include "standin/plugin_calls.h"
#include "standin/standin_custom_button.h"
#include "text/count_text.h"
#include "text/name_text.h"

namespace driver {

namespace {

bool LoggedError(const std::vector<standin::LogRecord>& log, std::size_t first) {
    for (std::size_t i = first; i < log.size(); ++i) {
        if (log[i].type == SYSLOG_ERROR) {
            return true;
        }
    }
    return false;
}

std::string HexId(std::uint32_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

}  // namespace

// Each kind of action has its function here; std::visit does not compile
// for an action without one.
struct SessionReplay::Player {
    SessionReplay& replay;
    SessionHost& host;
    ActionReport& report;

    void operator()(const OpenTool& open) const {
        ToolLibrary& tool = host.Library(open.plugin);
        UtilityPlugin* utility = host.Utility(tool);
        replay.toolName_ = tool.className;
        host.Host().OpenUtility(utility);
        const Class_ID id = tool.descriptor->ClassID();
        report.Note("opened " + Quoted(replay.toolName_) + " (class " + HexId(id.a) + " " + HexId(id.b) + ")");
    }
    void operator()(const CloseTool&) const {
        host.Host().CloseUtility();
        report.Note("closed " + Quoted(replay.toolName_));
    }
    void operator()(const SelectNodes& select) const { Select(select.indices); }
    void operator()(const SelectNamed& select) const { Select(select.indices); }
    void operator()(const SelectPath& select) const { Select(select.indices); }
    void operator()(const PressButton& press) const { PressControl(press.caption, true); }
    void operator()(const ClickRadio& radio) const { PressControl(radio.caption, false); }
    void operator()(const ClickViewport& click) const {
        if (host.Host().ActivePickMode() == nullptr) {
            report.Note("no pick mode is active: the click does nothing");
            report.NoEffect("no pick mode is active: the click does nothing");
            return;
        }
        if (!host.Host().ClickViewport(click.point).accepted) {
            report.Note("the pick mode refused the point");
            report.NoEffect("the pick mode refused the point " + FormatPoint(click.point));
        } else {
            report.Note("picked " + FormatPoint(click.point));
            // A mode that goes on after a click has its first point only.
            const Origin& origin = replay.action_->origin;
            replay.firstPointOnly_ = host.Host().ActivePickMode() == nullptr ? ""
                                     : origin.line > 0                       ? "line " + std::to_string(origin.line)
                                                                             : origin.Text();
        }
    }
    void operator()(const RightClickPanel&) const {
        HWND panel = host.Panel();
        if (panel == nullptr) {
            report.Note("the tool has no panel: nothing happens");
            return;
        }
        const standin::PluginCall call("the panel's dialog procedure (a right click)");
        SendMessageA(panel, WM_RBUTTONDOWN, 0, 0);
        SendMessageA(panel, WM_RBUTTONUP, 0, 0);
    }
    void operator()(const EndPickMode&) const {
        if (host.Host().ActivePickMode() == nullptr) {
            report.Note("no pick mode is active: nothing happens");
            return;
        }
        host.Host().EndPickMode();
        replay.firstPointOnly_.clear();  // one point was all that was meant
    }
    void operator()(const AnswerDialog& answer) const {
        replay.answers_.push_back(*replay.action_);
        report.Note(answer.cancel ? "the next file dialog will be cancelled"
                                  : "the next file dialog will be answered with " +
                                        replay.proxies_.Named(answer.path, Quoted(answer.path)));
    }
    void operator()(const KeepScene& keep) const {
        replay.kept_.push_back({keep.path, host.File().Content(keep.path, host.SelectionIndices())});
        for (FileBeside& beside : host.File().FilesBeside(keep.path)) {
            replay.kept_.push_back({std::move(beside.path), std::move(beside.content)});
        }
        report.Note("scene kept for " + Quoted(DisplayPath(keep.path)) + " (written when the session has succeeded)");
    }
    void operator()(const PrintNodes&) const {
        replay.transcript_.Raw(FormatNodeTable(TakeSnapshot(host.Host().Scene())));
    }

    void Select(const std::vector<std::size_t>& indices) const {
        std::vector<standin::StandinNode*> nodes;
        nodes.reserve(indices.size());
        std::string names;
        for (const std::size_t index : indices) {
            standin::StandinNode* node = host.Nodes()[index];
            nodes.push_back(node);
            names += (names.empty() ? "" : ", ") + std::to_string(index) + " " + Quoted(node->Name());
        }
        host.Host().ChangeSelection(std::move(nodes));
        report.Note(names.empty() ? "selection cleared" : "selected " + names);
    }
    // A name that holds a NUL, which the host and a names file cannot hold:
    // the tool would save it cut short, so the save is refused instead.
    bool RefuseNamesWithNul() const {
        const std::vector<standin::StandinNode*>& nodes = host.Nodes();
        for (std::size_t index = 0; index < nodes.size(); ++index) {
            if (nodes[index]->Name().find('\0') != std::string::npos) {
                report.Failed("node " + std::to_string(index) + " " + Quoted(nodes[index]->Name()) +
                              ": its name holds a NUL character, which a names file cannot hold: nothing was saved");
                return true;
            }
        }
        return false;
    }
    void PressControl(const std::string& caption, bool customButton) const {
        HWND control = FindPanelControl(host.Panel(), caption, customButton);
        if (control == nullptr || !IsWindowEnabled(control)) {
            report.Note(Quoted(caption) + " is disabled: nothing happens");
            report.NoEffect(Quoted(caption) + " is disabled with " + Counted(host.Host().Selection().size(), "node") +
                            " selected: nothing was done");
            return;
        }
        // The dialog that the press opens, as the check learnt it.
        const CheckedPress* pressed = customButton ? replay.action_->press.get() : nullptr;
        if (pressed != nullptr && pressed->dialog.saving && RefuseNamesWithNul()) {
            return;
        }
        const standin::PluginCall call("the panel's dialog procedure (" + Quoted(caption) + " pressed)");
        if (customButton) {
            standin::PressCustomButton(control);
        } else {
            SendMessageA(control, BM_CLICK, 0, 0);
        }
    }
};

SessionReplay::SessionReplay(SessionHost& host, Transcript& transcript, bool strict, bool keepStart)
    : host_(host),
      transcript_(transcript),
      report_(transcript, strict),
      history_(*host.File().Document().scene, host.Nodes(), keepStart),
      motion_(host.File(), host.Nodes(), history_),
      changed_(host.Nodes().size()),
      dialogs_([this](bool saving, const std::optional<std::string>& refusal) { return NextAnswer(saving, refusal); }) {
}

SessionReplay::~SessionReplay() = default;

bool SessionReplay::Run(const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        Replay(action);
    }
    return Finish();
}

void SessionReplay::Replay(const Action& action) {
    action_ = &action;
    report_.Start(action);
    transcript_.Echo(action, ++steps_);
    const HostView before = View();
    history_.Mark();
    std::visit(Player{*this, host_, report_}, action.what);
    ReportEffects(before);
    if (transcript_.NotesOfAction() == 0 && !std::holds_alternative<PrintNodes>(action.what)) {
        report_.Note("nothing happens");
    }
    action_ = nullptr;
    ForgetDeliveredMessages();
}

bool SessionReplay::Finish() {
    if (!firstPointOnly_.empty()) {
        transcript_.End("the pick took its first point only (" + firstPointOnly_ +
                        "): the pivot moved there, and no axis was turned");
        firstPointOnly_.clear();
    }
    for (const Action& answer : answers_) {
        transcript_.End("the answer of " +
                        (answer.origin.line > 0 ? "line " + std::to_string(answer.origin.line) : answer.origin.Text()) +
                        " was never asked for");
    }
    return !report_.Failure();
}

SessionReplay::HostView SessionReplay::View() const {
    standin::StandinInterface& host = host_.Host();
    return {host.ActivePickMode() != nullptr, PanelControls(host_.Panel()), host.LogRecords().size(),
            host.Scene().Violations().size(), host.Scene().Refusals().size()};
}

void SessionReplay::ReportEffects(const HostView& before) {
    standin::StandinInterface& host = host_.Host();
    const FileDialogUser::Outcome dialog = dialogs_.TakeOutcome();
    ReportDialog(dialog, proxies_, report_);
    ReportLogEntries(host.LogRecords(), before.logEntries, proxies_, report_);
    const auto* press = std::get_if<PressButton>(&action_->what);
    const bool loggedError = LoggedError(host.LogRecords(), before.logEntries);
    if (press != nullptr && !loggedError) {
        ReportNamesCount(dialog, host_.Nodes().size(), report_);
    }
    if (dialog.ran && dialog.saving && dialog.chosen && !loggedError && proxies_.Of(dialog.path) == nullptr) {
        toolWritten_.push_back(dialog.path);
    }
    ReportRefusals(host.Scene().Refusals(), before.refusals, history_, report_);
    ReportChanges(history_, host_.Nodes(), motion_, report_, changed_);
    if (press != nullptr) {
        ReportNamesakePairs(host_.SelectionIndices(), host_.Nodes(), history_, report_);
    }
    ReportPickMode(before.pickMode, host.ActivePickMode() != nullptr, report_);
    ReportPanel(before.controls, PanelControls(host_.Panel()), report_);
    ReportViolations(host.Scene().Violations(), before.violations, report_);
}

std::optional<std::string> SessionReplay::NextAnswer(bool saving, const std::optional<std::string>& refusal) {
    const std::string dialog = saving ? "save dialog" : "open dialog";
    if (refusal) {
        // What a file dialog refuses is a file it cannot open or save to.
        report_.Failed("the " + dialog + " refused " + proxies_.Named(lastAnswer_, QuotedExcerpt(lastAnswer_)) + ": " +
                           HideWorkingFolder(proxies_.InMessage(*refusal)),
                       saving ? RefusalCode::NotWritable : RefusalCode::FileMissing);
    }
    if (answers_.empty()) {
        report_.Note("the " + dialog + " has no answer left: cancelled");
        report_.NoEffect("the " + dialog + " had no answer: nothing was done");
        lastAnswer_.clear();
        return std::nullopt;
    }
    const AnswerDialog answer = std::get<AnswerDialog>(answers_.front().what);
    answers_.pop_front();
    lastAnswer_ = answer.cancel ? "" : answer.path;
    return answer.cancel ? std::nullopt : std::optional(proxies_.Given(lastAnswer_));
}

}  // namespace driver
