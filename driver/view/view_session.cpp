// The viewer's one way into the session code: lines are parsed into
// actions, checked, replayed on the stand-in host and reported as a
// session script's are.
#include "view/view_session.h"

#include <filesystem>
#include <system_error>

#include "files/input_file.h"
#include "files/native_path.h"
#include "hosting/loaded_tools.h"
#include "hosting/plugin_trial.h"
#include "hosting/session_host.h"
#include "scene/scene_format.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "text/name_text.h"
#include "view/replayed_scene.h"

namespace driver {

namespace {

constexpr const char* kSource = "viewer";

}  // namespace

ViewSession::ViewSession(const std::string& scenePath, std::string pluginDir, const std::string& outputPath,
                         ViewFolders reach, std::string keepFolder)
    : scenePath_(scenePath),
      pluginDir_(std::move(pluginDir)),
      reach_(std::move(reach)),
      keepFolder_(std::move(keepFolder)),
      bytes_(SourceBytes::OfFile(scenePath, true)),
      tools_(std::make_unique<LoadedTools>()) {
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

ViewSession::~ViewSession() = default;

// A file named before stays one that the run writes until the next undo.
std::optional<Refusal> ViewSession::SetOutputPath(const std::string& path) {
    std::optional<Refusal> refusal = replayed_->file->WrongName(path, FormatChange::Refused);
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

std::string ViewSession::Origin(std::size_t line) const { return std::string(kSource) + ":" + std::to_string(line); }

// A new scene from the file's bytes, over the libraries already loaded,
// with the standing gestures replayed as they stand.
void ViewSession::Rebuild() {
    replayed_.reset();
    replayed_ =
        std::make_unique<ReplayedScene>(SceneSource{bytes_, scenePath_, referenced_, outputPath_}, pluginDir_, *tools_);
    for (const ViewGesture& gesture : gestures_) {
        replayed_->ReplayKept(gesture.Kept());
    }
}

// The work tried in a copy of this process first; a plug-in's fault there
// refuses it, and nothing of it is done here.
ViewState ViewSession::Tried(const std::string& origin, const std::function<ViewState(bool trial)>& work) {
    const std::optional<std::string> fault = PluginTrialFault([&work] { work(true); });
    std::error_code ignored;
    std::filesystem::remove(NativePath(TrialSaveFile()), ignored);
    if (fault) {
        std::filesystem::remove(NativePath(NextCopy()), ignored);
        ViewState report = Report({});
        report.refusal = Refusal{RefusalCode::PluginFault, origin + ": " + *fault};
        return report;
    }
    return work(false);
}

ViewState ViewSession::Apply(const std::string& lines) {
    return Tried(Origin(standing_ + 1), [this, &lines](bool trial) { return ApplyHere(lines, trial); });
}

ViewState ViewSession::Undo() {
    return Tried(std::string(kSource) + ": undo", [this](bool) { return UndoHere(); });
}

ViewState ViewSession::Redo() {
    if (undone_.empty()) {
        return Report({});
    }
    return Tried(std::string(kSource) + ": redo", [this](bool) { return RedoHere(); });
}

// Runs one action of the newest gesture; false when it was refused.
bool ViewSession::RunChecked(Action action, ViewState& state, ViewChanges& changes) {
    action.origin = {kSource, static_cast<int>(standing_) + 1};
    try {
        CheckViewerRules(action);
        replayed_->checker->Check(action);
        StandAsReplayed(action, startNames_);
    } catch (const std::exception& e) {
        state.refusal = RefusalOf(e);
        return false;
    }
    gestures_.back().actions.push_back(action);
    ++standing_;
    replayed_->Run(gestures_.back().actions.back(), state.lines, state.warnings, changes);
    return true;
}

// Takes back the newest gesture, which does not stand: the scene is built
// again from the gestures that do (nothing is read or written again).
ViewState ViewSession::TakeBack(ViewState state) {
    standing_ -= gestures_.back().actions.size();
    gestures_.pop_back();
    Rebuild();
    ViewChanges changes;
    replayed_->AddChangedSinceStart(changes);
    ViewState report = Report(changes);
    report.lines = std::move(state.lines);
    report.warnings = std::move(state.warnings);
    report.refusal = std::move(state.refusal);
    return report;
}

// In a trial the tool saves to a file of the viewer's own: the file chosen
// is written once, by the gesture that stands.
ViewState ViewSession::ApplyHere(const std::string& lines, bool trial) {
    std::vector<Action> actions;
    std::optional<PanelDialog> dialog;
    if (std::optional<Refusal> refusal = ParseGesture(lines, actions, dialog)) {
        ViewState report = Report({});
        report.refusal = std::move(refusal);
        return report;
    }
    ProxyFiles proxies;
    const AnswerDialog* answer = FinalAnswer(actions);
    const bool saves = answer != nullptr && !answer->cancel && dialog && dialog->saving;
    std::vector<ViewNamesFile> loaded;
    try {
        loaded = CopyLoadedFiles(actions, dialog, proxies);
    } catch (const InputFileError& e) {
        ViewState report = Report({});
        report.refusal = Refusal{e.Code(), Origin(standing_ + 1) + ": " + e.what()};
        return report;
    }
    if (trial && saves) {
        proxies.Add({answer->path, TrialSaveFile(), Quoted(answer->path)});
    }
    const std::string chosen = saves ? dialog->FileFor(answer->path) : "";
    ViewState state;
    gestures_.emplace_back();
    replayed_->replay->UseProxies(proxies);
    ViewChanges changes;
    for (Action& action : actions) {
        if (!RunChecked(std::move(action), state, changes)) {
            return TakeBack(std::move(state));
        }
    }
    replayed_->replay->UseProxies({});
    std::optional<Refusal> failure = replayed_->replay->Failure();
    if (!failure && replayed_->replay->AnswersWaiting()) {
        failure = Refusal{RefusalCode::NotDone, Origin(standing_) + ": no file dialog took the answer"};
    }
    if (failure) {
        state.refusal = std::move(failure);
        return TakeBack(std::move(state));
    }
    ViewGesture& gesture = gestures_.back();
    gesture.files = std::move(loaded);
    if (saves) {
        gesture.files.push_back({gesture.actions.size() - 2, true, chosen, ""});
    }
    gesture.lines = state.lines;
    gesture.warnings = state.warnings;
    undone_.clear();
    ViewState report = Report(changes);
    report.lines = std::move(state.lines);
    report.warnings = std::move(state.warnings);
    return report;
}

ViewState ViewSession::UndoHere() {
    ViewChanges changes;
    replayed_->AddChangedSinceStart(changes);
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
    replayed_->AddChangedSinceStart(changes);
    ViewState report = Report(changes);
    report.lines = std::move(lines);
    return report;
}

// The gesture undone last, replayed as it stood: from its copies, without
// its saves; its lines are those it gave when it ran.
ViewState ViewSession::RedoHere() {
    gestures_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    const ViewGesture& gesture = gestures_.back();
    standing_ += gesture.actions.size();
    ViewChanges changes;
    replayed_->AddChangedSinceStart(changes);
    replayed_->ReplayKept(gesture.Kept());
    replayed_->AddChangedSinceStart(changes);
    ViewState report = Report(changes);
    report.lines.push_back("redone:");
    report.lines.insert(report.lines.end(), gesture.lines.begin(), gesture.lines.end());
    report.warnings = gesture.warnings;
    return report;
}

std::string ViewSession::FormatName() const { return replayed_->file->FormatName(); }

const char* ViewSession::DrawnWith() const { return replayed_->file->DrawnWith(); }

}  // namespace driver
