#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/file_content.h"
#include "files/output_file.h"
#include "files/proxy_files.h"
#include "files/source_bytes.h"
#include "hosting/panel_model.h"
#include "node_matrix.h"
#include "scene/scene_format.h"
#include "session/action.h"
#include "standin/transform_math.h"
#include "text/refusal.h"
#include "view/view_folders.h"
#include "view/view_gesture.h"

namespace driver {

class LoadedTools;
struct ReplayedScene;

// A node as the viewer page draws it: its pivot (the node transform) and
// where its object sits in the world, in double precision where the
// scene's file gives more than the host's single precision
// (SceneFile::DrawnPlacements).
struct ViewNode {
    std::size_t index = 0;
    std::string name;       // as the host has it
    std::string quoted;     // as the transcript quotes it
    std::size_t depth = 0;  // in the tree; the root is 0
    standin::Affine world;
    standin::Affine object;
    std::vector<const char*> changed;  // what the gesture changed ("position", ...); empty: sent whole
    NodeSource source;                 // where the file holds it, and what it holds
};

// A control of the open tool's panel as the page draws it: its place in
// the panel's template, with the caption that the panel now shows (which a
// gesture names it by), and the state of one that a gesture works (a
// button or a radio button), read from the open panel.
struct ViewControl {
    ModelControl layout;
    bool worked = false;
    bool enabled = false;
    bool checked = false;
};

// What the host shows after a gesture of the viewer: the gesture's outcome
// as data, which the API's JSON and the page's transcript both render.
struct ViewState {
    std::vector<std::string> lines;     // transcript lines of the gesture
    std::vector<std::string> warnings;  // those of its lines that warn ("warning: ...")
    std::optional<Refusal> refusal;     // why the gesture does not stand ("ORIGIN: WHAT")
    bool pickMode = false;
    bool whole = false;                   // every node, with what never changes of it (Whole)
    std::optional<std::string> openTool;  // the name that opened it
    std::vector<ViewControl> panel;       // empty while no tool is open
    int panelWidth = 0, panelHeight = 0;  // dialog units
    std::vector<ViewNode> nodes;          // those that changed (all, for the whole state)
    UpAxis up = UpAxis::Y;                // the world axis that points up in the scene
    const char* drawnWith = nullptr;      // SceneFormat::drawnWith
    std::vector<std::size_t> selection;
    std::size_t undoable = 0, redoable = 0;
    std::vector<std::string> unsaved;  // the lines that stand since the last Save
    std::vector<std::string> reads;    // the names files that the standing session reads
};

// The viewer's session: the scene it was started on, and the gestures that
// stand, replayed on the real plug-ins through the same check and replay
// as a session script. A gesture stands whole or not at all: one that a
// check refuses, that fails, or that leaves an answer no dialog took, is
// taken back. Files are touched only by the gesture that names them, once:
// a names file loaded is kept as it was read, in `keepFolder`, and undo,
// redo and every rebuild replay loads from those copies and leave saves
// out. A "select-name" finds the nodes by their names of the moment, and
// stands as the "select" of what it found when the names that the scene
// was read with would find others.
//
// The plug-ins stay loaded for the session's life: undo, redo and a
// refused gesture build the host anew and replay into the same libraries.
// Every gesture, undo and redo is first tried in a copy of this process
// (PluginTrialFault): a plug-in that crashes or hangs there refuses it in
// one line, and this process, which runs it only once the copy came
// through, keeps serving.
class ViewSession {
public:
    // `reach`: the folders that the dialogs' answers and Save may name.
    ViewSession(const std::string& scenePath, std::string pluginDir, const std::string& outputPath, ViewFolders reach,
                std::string keepFolder);
    ~ViewSession();
    ViewSession(const ViewSession&) = delete;
    ViewSession& operator=(const ViewSession&) = delete;

    ViewState Apply(const std::string& lines);
    ViewState Undo();
    ViewState Redo();
    // Everything, for a page that has just loaded: all nodes.
    ViewState Whole();

    // The standing session, one action a line.
    std::string SessionText() const;
    // The standing session with the names files that it loads as they were
    // read ("names-LINE.txt"), and its saves made there too
    // ("saved-LINE.txt"): file name and bytes, the session first.
    std::vector<std::pair<std::string, std::string>> SessionWithFiles() const;
    // The bytes of the scene as Save would write them, in pieces, and whole.
    FileContent SceneContent();
    std::string SceneBytes();
    // Writes the scene to the output path through the safe writer, whole
    // or not at all; why it was written in place, if it was. Throws a
    // CodedError where the path has come to reach outside meanwhile.
    InPlaceReason Save();
    // Names the file that Save writes; refuses it where the scene cannot be
    // written there (wrong format, not writable, outside the folders
    // reached, or a file that the scene needs).
    [[nodiscard]] std::optional<Refusal> SetOutputPath(const std::string& path);
    const std::string& OutputPath() const { return outputPath_; }
    std::string FormatName() const;
    // How the page draws the scene's meshes: SceneFormat::drawnWith.
    const char* DrawnWith() const;
    // The files that the scene refers to (buffers, images), as read.
    const std::vector<std::string>& ReferencedFiles() const { return referenced_; }
    const std::string& ScenePath() const { return scenePath_; }
    // The folders that the dialogs' answers and Save may name.
    const ViewFolders& Reach() const { return reach_; }
    // The lines that stand since the last Save (or the start).
    std::vector<std::string> Unsaved() const;

private:
    ViewState ApplyHere(const std::string& lines, bool trial);
    ViewState UndoHere();
    ViewState RedoHere();
    ViewState Tried(const std::string& origin, const std::function<ViewState(bool trial)>& work);
    void Rebuild();
    bool RunChecked(Action action, ViewState& state, ViewChanges& changes);
    std::optional<Refusal> ParseGesture(const std::string& lines, std::vector<Action>& actions,
                                        std::optional<PanelDialog>& dialog);
    std::optional<PanelDialog> FinalPressDialog(std::vector<Action>& actions) const;
    std::optional<Refusal> GestureRefusal(const std::vector<Action>& actions,
                                          const std::optional<PanelDialog>& dialog) const;
    std::vector<ViewNamesFile> CopyLoadedFiles(const std::vector<Action>& actions,
                                               const std::optional<PanelDialog>& dialog, ProxyFiles& proxies);
    std::string NextCopy() const;
    std::string TrialSaveFile() const;
    ViewState TakeBack(ViewState state);
    ViewState Report(const ViewChanges& changes);
    std::string Origin(std::size_t line) const;

    std::string scenePath_;
    std::string pluginDir_;
    std::string outputPath_;
    ViewFolders reach_;
    std::string keepFolder_;
    SourceBytes bytes_;  // what was read of the scene file, kept for rebuilds
    std::vector<std::string> referenced_;
    std::vector<std::string> startNames_;  // in pre-order, as the file was read
    std::vector<ViewGesture> gestures_;    // standing
    std::vector<ViewGesture> undone_;      // newest last
    std::size_t standing_ = 0;             // the actions of gestures_
    std::size_t kept_ = 0;                 // names files kept so far, for their copies' names
    std::string savedSession_;             // the session that the last Save wrote
    std::unique_ptr<LoadedTools> tools_;   // before the scene, whose host must go first
    std::unique_ptr<ReplayedScene> replayed_;
};

}  // namespace driver
