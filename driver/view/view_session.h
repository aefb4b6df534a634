#pragma once

#include <cstddef>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_content.h"
#include "files/source_bytes.h"
#include "hosting/panel_controls.h"
#include "node_matrix.h"
#include "session/action.h"

namespace driver {

class SceneFile;
class SessionHost;
class SessionReplay;
class Transcript;

// A node as the viewer page draws it: its pivot (the node transform) and
// where its object sits in the world.
struct ViewNode {
    std::size_t index = 0;
    std::string name;
    std::size_t depth = 0;  // in the tree; the root is 0
    NodeMatrix world;
    NodeMatrix object;
};

// A control of the open tool's panel as its dialog template places it.
struct ViewControl {
    std::string kind;  // "static", "group", "radio", "button"
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

// What the host shows after a gesture of the viewer.
struct ViewState {
    std::vector<std::string> lines;  // transcript lines of the gesture
    bool done = true;                // the standing session would be done
    std::string failure;             // why not ("ORIGIN: WHAT"), or a refused line
    bool refused = false;            // a line was refused before it ran
    bool pickMode = false;
    std::vector<PanelControl> panel;
    std::vector<ViewControl> layout;  // empty while no tool is open
    int panelWidth = 0, panelHeight = 0;
    std::vector<ViewNode> nodes;      // those that changed (all, for the whole state)
    std::vector<std::size_t> selection;
    std::size_t undoable = 0, redoable = 0;
};

// The viewer's session: the scene it was started on, and the gestures that
// stand (each one or more session lines), replayed on the real plug-ins
// through the same check and replay as a session script, one action at a
// time. Undo rebuilds the scene from the file's bytes and replays the
// gestures that remain. A "select-name" finds the nodes by their names of
// the moment, and stands as the "select" of what it found when the names
// that the scene was read with would find others.
class ViewSession {
public:
    ViewSession(const std::string& scenePath, std::string pluginDir, std::string outputPath);
    ~ViewSession();
    ViewSession(const ViewSession&) = delete;
    ViewSession& operator=(const ViewSession&) = delete;

    // Checks and runs the gesture's lines one at a time; a line that is
    // refused stops the gesture there (refused and failure say why).
    ViewState Apply(const std::string& lines);
    ViewState Undo();
    ViewState Redo();
    // Everything, for a page that has just loaded: all nodes.
    ViewState Whole();

    // The standing session, one action a line.
    std::string SessionText() const;
    // The bytes of the scene as Save would write them, in pieces, and whole.
    FileContent SceneContent();
    std::string SceneBytes();
    // Writes the scene to the output path through the safe writer, whole
    // or not at all; why it was written in place, or "" (replaced whole).
    std::string Save();
    // Names the file that Save writes; throws OutputFileError when the
    // scene cannot be written there (wrong format, not writable, or a file
    // that the scene needs).
    void SetOutputPath(const std::string& path);
    const std::string& OutputPath() const { return outputPath_; }
    std::string FormatName() const;
    // Why the standing session would not be done ("ORIGIN: WHAT"), or "".
    std::string Failure() const;
    // The files that the scene refers to (buffers, images), as read.
    const std::vector<std::string>& ReferencedFiles() const { return referenced_; }
    const std::string& ScenePath() const { return scenePath_; }

private:
    struct Live;
    void Rebuild();
    bool RunChecked(Action action, ViewState& state);
    ViewState Report(std::vector<std::size_t> changed);
    void StandAsReplayed(Action& action) const;
    std::vector<std::size_t> ChangedSinceStart() const;

    std::string scenePath_;
    std::string pluginDir_;
    std::string outputPath_;
    SourceBytes bytes_;  // what was read of the scene file, kept for rebuilds
    std::vector<std::string> referenced_;
    std::vector<std::string> startNames_;        // in pre-order, as the file was read
    std::vector<std::vector<Action>> gestures_;  // standing
    std::vector<std::vector<Action>> undone_;    // newest last
    std::size_t standing_ = 0;                   // the actions of gestures_
    std::unique_ptr<Live> live_;
};

}  // namespace driver
