// The viewer's one way into the session code: lines are parsed into
// actions, checked, replayed on the stand-in host and reported as a
// session script's are.
#include "view/view_session.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <ostream>

#include "files/display_path.h"
#include "files/input_file.h"
#include "files/output_file.h"
#include "files/run_files.h"
#include "hosting/file_dialog_user.h"
#include "hosting/session_host.h"
#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "session/name_pattern.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/shortcut.h"
#include "session/transcript.h"
#include "text/name_text.h"

namespace driver {

namespace {

constexpr const char* kSource = "viewer";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The answer of a gesture that ends in an answer and its press, or null.
const AnswerDialog* FinalAnswer(const std::vector<Action>& actions) {
    return actions.size() < 2 ? nullptr : std::get_if<AnswerDialog>(&actions[actions.size() - 2].what);
}

// What the viewer takes beyond a session's rules: tools only from the
// plug-in folder, and the scene kept by Save rather than by "save".
void CheckViewerRules(const Action& action) {
    const std::string where = action.origin.Text() + ": ";
    if (const auto* open = std::get_if<OpenTool>(&action.what)) {
        if (open->plugin.find_first_of("/\\.") != std::string::npos) {
            throw SessionError(where + "the viewer opens the plug-ins beside morvane-host only, by name");
        }
    }
    if (std::holds_alternative<KeepScene>(action.what)) {
        throw SessionError(where + "the viewer keeps the scene with Save, not with \"save\"");
    }
}

// The nodes that `patterns` find among `names` (pre-order, the root's
// first), as a session's check finds them: each pattern's in pre-order, the
// patterns in their order, each node once, never the root.
std::vector<std::size_t> NodesFoundByPatterns(const std::vector<std::string>& patterns,
                                              const std::vector<std::string>& names) {
    std::vector<std::size_t> found;
    std::vector<bool> taken(names.size(), false);
    for (const std::string& pattern : patterns) {
        for (std::size_t k = 1; k < names.size(); ++k) {
            if (!taken[k] && NameMatches(pattern, names[k])) {
                taken[k] = true;
                found.push_back(k);
            }
        }
    }
    return found;
}

}  // namespace

// A names file that a gesture's press read (a copy, as read) or wrote.
struct ViewSession::NamesFile {
    std::size_t answer = 0;  // the answer's place in the gesture's actions; the press follows it
    bool saved = false;
    std::string path;  // as the dialog chose it
    std::string copy;  // a loaded file as it was read
};

// A gesture as it stands: its actions, the lines it gave when it ran, and
// its names files.
struct ViewSession::Gesture {
    std::vector<Action> actions;
    std::vector<std::string> lines;     // as it gave them when it ran
    std::vector<std::string> warnings;  // of those lines
    std::vector<NamesFile> files;
};

// The nodes that a gesture changed, with what changed of each.
struct ViewSession::Changes {
    std::map<std::size_t, std::vector<const char*>> nodes;
    void Add(std::size_t index, const char* aspect = nullptr) {
        std::vector<const char*>& aspects = nodes[index];
        if (aspect != nullptr && std::find(aspects.begin(), aspects.end(), aspect) == aspects.end()) {
            aspects.push_back(aspect);
        }
    }
};

// The page's "select-name" finds the nodes by the names they have now, but
// a session run finds them by the names the scene had when it was read: a
// line that would find others there stands as the "select" of the nodes
// found, so that the session replays to the same selection. A
// "select-path" always stands so: paths are found by the names of now.
void ViewSession::StandAsReplayed(Action& action) const {
    const auto* named = std::get_if<SelectNamed>(&action.what);
    if (named != nullptr && NodesFoundByPatterns(named->patterns, startNames_) != named->indices) {
        action.what = SelectNodes{named->indices};
    }
    if (const auto* path = std::get_if<SelectPath>(&action.what)) {
        action.what = SelectNodes{path->indices};
    }
}

// The scene on the stand-in host with the standing actions replayed, and
// the check that has seen them: each new action is checked and replayed
// after them, in a time that follows the action, not the session. The
// transcript's lines are kept as data only.
struct ViewSession::ReplayedScene {
    std::unique_ptr<SceneFile> file;
    std::unique_ptr<SessionHost> host;
    std::ostream discarded{nullptr};  // the transcript as text: none is needed
    Transcript::Lines lines;          // of the running action
    std::unique_ptr<Transcript> transcript;
    std::unique_ptr<SessionReplay> replay;
    RunFiles files;  // those of the run so far, for the check
    std::unique_ptr<SessionChecker> checker;
};

ViewSession::ViewSession(const std::string& scenePath, std::string pluginDir, const std::string& outputPath,
                         ViewFolders reach, std::string keepFolder)
    : scenePath_(scenePath),
      pluginDir_(std::move(pluginDir)),
      reach_(std::move(reach)),
      keepFolder_(std::move(keepFolder)),
      bytes_(SourceBytes::OfFile(scenePath, true)) {
    Rebuild();
    for (const standin::StandinNode* node : replayed_->host->Nodes()) {
        startNames_.push_back(node->Name());
    }
    referenced_ = replayed_->file->ReferencedFiles();
    for (const std::string& path : referenced_) {
        replayed_->files.Add(path, RunFiles::Use::OnlyRead, "a file that the scene refers to, which is only read");
    }
    if (!outputPath.empty()) {
        if (std::optional<Refusal> refusal = SetOutputPath(outputPath)) {
            throw CodedError(refusal->code, refusal->message);
        }
    }
}

// A file named before stays one that the run writes until the next undo.
std::optional<Refusal> ViewSession::SetOutputPath(const std::string& path) {
    std::optional<Refusal> refusal = replayed_->file->WrongName(path);
    if (!refusal) {
        refusal = reach_.Unreachable(path, true);
    }
    if (refusal) {
        return Refusal{refusal->code, Excerpt(path) + ": " + refusal->message};
    }
    try {
        CheckWritable(path, "Save");
    } catch (const OutputFileError& e) {
        return e.AsRefusal();
    }
    if (path == outputPath_) {
        return std::nullopt;
    }
    if (const std::optional<Refusal> clash =
            replayed_->files.Add(path, RunFiles::Use::Written, "the scene that Save writes")) {
        return Refusal{clash->code, path + ": it is " + clash->message};
    }
    outputPath_ = path;
    return std::nullopt;
}

ViewSession::~ViewSession() = default;

// The gesture's actions as a replay runs them: a load reads its copy, a
// save is left out (its file was written when it ran).
void ViewSession::ReplayKept(const Gesture& gesture) {
    std::vector<Action> actions = gesture.actions;
    std::vector<bool> left(actions.size(), false);
    for (const NamesFile& file : gesture.files) {
        if (file.saved) {
            left[file.answer] = left[file.answer + 1] = true;
        } else {
            std::get<AnswerDialog>(actions[file.answer].what).path = file.copy;
        }
    }
    for (std::size_t k = 0; k < actions.size(); ++k) {
        if (!left[k]) {
            // As it was checked when it ran: a name pattern keeps the nodes it found.
            Action seen = actions[k];
            replayed_->checker->Check(seen);
            replayed_->replay->Replay(actions[k]);
        }
    }
}

// A new scene from the file's bytes, with the standing gestures replayed
// as they stand, the check seeing each action in turn.
void ViewSession::Rebuild() {
    replayed_.reset();
    auto replayed = std::make_unique<ReplayedScene>();
    replayed->file = ParseScene(bytes_, scenePath_, SceneUse::Drawn);
    replayed->host = std::make_unique<SessionHost>(*replayed->file, pluginDir_);
    replayed->transcript = std::make_unique<Transcript>(replayed->discarded);
    replayed->replay = std::make_unique<SessionReplay>(*replayed->host, *replayed->transcript, false, true);
    replayed->files.Add(scenePath_, RunFiles::Use::OnlyRead, "the scene file, which is only read");
    for (const std::string& path : referenced_) {
        replayed->files.Add(path, RunFiles::Use::OnlyRead, "a file that the scene refers to, which is only read");
    }
    if (!outputPath_.empty()) {
        replayed->files.Add(outputPath_, RunFiles::Use::Written, "the scene that Save writes");
    }
    replayed->checker = std::make_unique<SessionChecker>(*replayed->host, replayed->files);
    replayed_ = std::move(replayed);
    for (const Gesture& gesture : gestures_) {
        ReplayKept(gesture);
    }
}

// Runs one action of the newest gesture; false when it was refused.
bool ViewSession::RunChecked(Action action, ViewState& state, Changes& changes) {
    action.origin = {kSource, static_cast<int>(standing_) + 1};
    try {
        CheckViewerRules(action);
        replayed_->checker->Check(action);
        StandAsReplayed(action);
    } catch (const std::exception& e) {
        state.refusal = RefusalOf(e);
        return false;
    }
    gestures_.back().actions.push_back(action);
    ++standing_;
    Transcript::Lines& lines = replayed_->lines;
    lines = {};
    replayed_->transcript->RecordTo(&lines);
    replayed_->replay->Replay(gestures_.back().actions.back());
    replayed_->transcript->RecordTo(nullptr);
    std::move(lines.lines.begin(), lines.lines.end(), std::back_inserter(state.lines));
    std::move(lines.warnings.begin(), lines.warnings.end(), std::back_inserter(state.warnings));
    replayed_->replay->History().VisitChangesSinceMark([&changes](const NodeChange& change) {
        for (const Aspect aspect : change.aspects) {
            changes.Add(change.index, AspectName(aspect));
        }
    });
    return true;
}

// An answer and the press that it answers are one: the answer comes just
// before a press that opens a names file's dialog, and that press ends the
// gesture (nothing after it could be taken back once a file is written).
// The file chosen must be one that the viewer reaches.
std::optional<Refusal> ViewSession::GestureRefusal(const std::vector<Action>& actions,
                                                   const std::optional<PanelDialog>& dialog) const {
    for (std::size_t k = 0; k < actions.size(); ++k) {
        const auto* answer = std::get_if<AnswerDialog>(&actions[k].what);
        if (answer == nullptr) {
            continue;
        }
        if (k + 2 != actions.size() || !dialog) {
            return Refusal{RefusalCode::BadSession,
                           "an answer goes with the press that opens its dialog, as the gesture's last two lines"};
        }
        const std::string chosen = answer->cancel ? "" : dialog->FileFor(answer->path);
        if (const std::optional<Refusal> refusal =
                chosen.empty() ? std::nullopt : reach_.Unreachable(OpenedByDialog(chosen), dialog->saving)) {
            return Refusal{refusal->code, "answer " + Excerpt(chosen) + ": " + refusal->message};
        }
    }
    return std::nullopt;
}

// The file dialog that the gesture's last action opens, if it is a press
// of a button that opens one: the panel is that of the tool the gesture
// opens, or else of the tool that is open.
std::optional<PanelDialog> ViewSession::FinalPressDialog(const std::vector<Action>& actions) {
    const auto* press = actions.empty() ? nullptr : std::get_if<PressButton>(&actions.back().what);
    if (press == nullptr) {
        return std::nullopt;
    }
    SessionHost& host = *replayed_->host;
    std::optional<PanelModel> panel = host.OpenPanelModel();
    for (const Action& action : actions) {
        if (const auto* open = std::get_if<OpenTool>(&action.what)) {
            const PanelModel* model = nullptr;
            try {
                model = host.Model(host.Library(open->plugin));
            } catch (const ToolLibraryError& e) {
                throw SessionError(action.origin.Text() + ": " + HideWorkingFolder(e.what()));
            }
            if (model == nullptr) {
                throw SessionError(action.origin.Text() +
                                   ": close the open tool in a gesture of its own before opening another");
            }
            panel = *model;
        } else if (std::holds_alternative<CloseTool>(action.what)) {
            panel.reset();
        }
    }
    const PanelDialog* dialog = panel ? panel->DialogOf(press->caption) : nullptr;
    return dialog != nullptr ? std::optional(*dialog) : std::nullopt;
}

// Copies each names file that the gesture's press will load, as it is
// now, to the private folder, and has the tool read that copy: what the
// replays load is then exactly what the tool read, whatever becomes of the
// file meanwhile. A file that cannot be read is left to the tool, which
// says so.
std::vector<ViewSession::NamesFile> ViewSession::CopyLoadedFiles(const std::vector<Action>& actions,
                                                                 const std::optional<PanelDialog>& dialog,
                                                                 ProxyFiles& proxies) {
    const AnswerDialog* answer = FinalAnswer(actions);
    if (answer == nullptr || answer->cancel || !dialog || dialog->saving) {
        return {};
    }
    const std::string path = dialog->FileFor(answer->path);
    std::string bytes;
    try {
        bytes = ReadInputFile(path);
    } catch (const InputFileError&) {
        return {};
    }
    const std::string copy = keepFolder_ + "/names-" + std::to_string(++kept_) + ".txt";
    WriteOutputFiles({{copy, FileContent(std::move(bytes))}});
    proxies.Add({answer->path, copy, Quoted(answer->path)});
    return {{actions.size() - 2, false, path, copy}};
}

// Takes back the newest gesture, which does not stand: the scene is built
// again from the gestures that do (nothing is read or written again).
ViewState ViewSession::TakeBack(ViewState state) {
    standing_ -= gestures_.back().actions.size();
    gestures_.pop_back();
    Rebuild();
    Changes changes;
    for (const NodeChange& change : replayed_->replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
    ViewState report = Report(changes);
    report.lines = std::move(state.lines);
    report.warnings = std::move(state.warnings);
    report.refusal = std::move(state.refusal);
    return report;
}

ViewState ViewSession::Apply(const std::string& lines) {
    ViewState state;
    std::vector<Action> actions;
    std::optional<Refusal> refusal;
    std::optional<PanelDialog> dialog;
    try {
        actions = ParseSession(lines, kSource);
        dialog = FinalPressDialog(actions);
        refusal = GestureRefusal(actions, dialog);
        if (refusal) {
            refusal->message = std::string(kSource) + ":" + std::to_string(standing_ + 1) + ": " + refusal->message;
        }
    } catch (const SessionError& e) {
        refusal = e.AsRefusal();
    }
    if (!refusal && actions.empty()) {
        refusal =
            Refusal{RefusalCode::BadSession, std::string(kSource) + ":" + std::to_string(standing_ + 1) +
                                                 ": the gesture holds no action, so there is nothing to do or undo"};
    }
    if (refusal) {
        ViewState report = Report({});
        report.refusal = std::move(refusal);
        return report;
    }
    ProxyFiles proxies;
    std::vector<NamesFile> loaded = CopyLoadedFiles(actions, dialog, proxies);
    gestures_.emplace_back();
    replayed_->replay->UseProxies(proxies);
    Changes changes;
    for (Action& action : actions) {
        if (!RunChecked(std::move(action), state, changes)) {
            return TakeBack(std::move(state));
        }
    }
    replayed_->replay->UseProxies({});
    Gesture& gesture = gestures_.back();
    std::optional<Refusal> failure = replayed_->replay->Failure();
    if (!failure && replayed_->replay->AnswersWaiting()) {
        failure = Refusal{RefusalCode::NotDone,
                          std::string(kSource) + ":" + std::to_string(standing_) + ": no file dialog took the answer"};
    }
    if (failure) {
        state.refusal = std::move(failure);
        return TakeBack(std::move(state));
    }
    gesture.files = std::move(loaded);
    const AnswerDialog* answer = FinalAnswer(gesture.actions);
    if (answer != nullptr && !answer->cancel && dialog && dialog->saving) {
        gesture.files.push_back({gesture.actions.size() - 2, true, dialog->FileFor(answer->path), ""});
    }
    gesture.lines = state.lines;
    gesture.warnings = state.warnings;
    undone_.clear();
    ViewState report = Report(changes);
    report.lines = std::move(state.lines);
    report.warnings = std::move(state.warnings);
    return report;
}

ViewState ViewSession::Undo() {
    Changes changes;
    for (const NodeChange& change : replayed_->replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
    std::vector<std::string> lines;
    if (!gestures_.empty()) {
        for (const Action& action : gestures_.back().actions) {
            lines.push_back("undone: line " + std::to_string(action.origin.line) + ": " + ActionText(action.what));
        }
        standing_ -= gestures_.back().actions.size();
        undone_.push_back(std::move(gestures_.back()));
        gestures_.pop_back();
        Rebuild();
    }
    for (const NodeChange& change : replayed_->replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
    ViewState report = Report(changes);
    report.lines = std::move(lines);
    return report;
}

// The gesture undone last, replayed as it stood: from its copies, without
// its saves; its lines are those it gave when it ran.
ViewState ViewSession::Redo() {
    if (undone_.empty()) {
        return Report({});
    }
    gestures_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    const Gesture& gesture = gestures_.back();
    standing_ += gesture.actions.size();
    Changes changes;
    for (const NodeChange& change : replayed_->replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
    ReplayKept(gesture);
    for (const NodeChange& change : replayed_->replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
    ViewState report = Report(changes);
    report.lines.push_back("redone:");
    report.lines.insert(report.lines.end(), gesture.lines.begin(), gesture.lines.end());
    report.warnings = gesture.warnings;
    return report;
}

ViewState ViewSession::Whole() {
    Changes all;
    for (std::size_t i = 0; i < replayed_->host->Nodes().size(); ++i) {
        all.Add(i);
    }
    ViewState state = Report(all);
    state.whole = true;
    return state;
}

ViewState ViewSession::Report(const Changes& changes) {
    ViewState state;
    SessionHost& host = *replayed_->host;
    state.pickMode = host.Host().ActivePickMode() != nullptr;
    state.up = replayed_->file->Up();
    state.drawnWith = replayed_->file->DrawnWith();
    state.panel = PanelControls(host.Panel());
    state.model = host.OpenPanelModel();
    state.selection = host.SelectionIndices();
    const std::vector<standin::StandinNode*>& order = host.Nodes();
    std::vector<std::size_t> indices;
    indices.reserve(changes.nodes.size());
    for (const auto& change : changes.nodes) {
        indices.push_back(change.first);
    }
    const std::vector<DrawnPlacement> drawn = replayed_->file->DrawnPlacements(indices);
    state.nodes.reserve(changes.nodes.size());
    for (const auto& [index, aspects] : changes.nodes) {
        const NodeState node = StateOf(*order[index]);
        std::size_t depth = 0;
        for (const standin::StandinNode* up = order[index]->Parent(); up != nullptr; up = up->Parent()) {
            ++depth;
        }
        const std::size_t at = state.nodes.size();
        state.nodes.push_back({index, node.name, Quoted(node.name), depth,
                               at < drawn.size() ? drawn[at].world : standin::ToAffine(node.transform),
                               at < drawn.size() ? drawn[at].object : standin::ToAffine(node.objectWorld), aspects,
                               replayed_->file->SourceOf(index)});
    }
    state.undoable = gestures_.size();
    state.redoable = undone_.size();
    state.unsaved = Unsaved();
    for (const Gesture& gesture : gestures_) {
        for (const NamesFile& file : gesture.files) {
            if (!file.saved) {
                state.reads.push_back(file.path);
            }
        }
    }
    return state;
}

std::string ViewSession::SessionText() const {
    std::string text;
    for (const Gesture& gesture : gestures_) {
        for (const Action& action : gesture.actions) {
            text += ActionText(action.what) + "\n";
        }
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> ViewSession::SessionWithFiles() const {
    std::vector<std::pair<std::string, std::string>> files{{"viewer.session", ""}};
    for (const Gesture& gesture : gestures_) {
        std::vector<Action> actions = gesture.actions;
        for (const NamesFile& file : gesture.files) {
            const std::string line = std::to_string(actions[file.answer + 1].origin.line);
            const std::string name = (file.saved ? "saved-" : "names-") + line + ".txt";
            std::get<AnswerDialog>(actions[file.answer].what).path = name;
            if (!file.saved) {
                files.emplace_back(name, ReadInputFile(file.copy));
            }
        }
        for (const Action& action : actions) {
            files.front().second += ActionText(action.what) + "\n";
        }
    }
    return files;
}

std::vector<std::string> ViewSession::Unsaved() const {
    const std::vector<std::string> saved = SplitLines(savedSession_);
    const std::vector<std::string> now = SplitLines(SessionText());
    std::size_t same = 0;
    while (same < saved.size() && same < now.size() && saved[same] == now[same]) {
        ++same;
    }
    std::vector<std::string> unsaved;
    for (std::size_t k = same; k < saved.size(); ++k) {
        unsaved.push_back("undone: " + saved[k]);
    }
    unsaved.insert(unsaved.end(), now.begin() + static_cast<std::ptrdiff_t>(same), now.end());
    return unsaved;
}

FileContent ViewSession::SceneContent() {
    return replayed_->file->Content(outputPath_.empty() ? scenePath_ : outputPath_,
                                    replayed_->host->SelectionIndices());
}

std::string ViewSession::SceneBytes() { return SceneContent().Joined(); }

InPlaceReason ViewSession::Save() {
    // Judged again as it is written: a link or a second name may have come since.
    if (const std::optional<Refusal> refusal = reach_.Unreachable(outputPath_, true)) {
        throw CodedError(refusal->code, Excerpt(outputPath_) + ": " + refusal->message);
    }
    InPlaceReason inPlace = WriteOutputFiles({{outputPath_, SceneContent()}}).front();
    savedSession_ = SessionText();
    return inPlace;
}

std::string ViewSession::FormatName() const { return replayed_->file->FormatName(); }

const char* ViewSession::DrawnWith() const { return replayed_->file->DrawnWith(); }

}  // namespace driver
