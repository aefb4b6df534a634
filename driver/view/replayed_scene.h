#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "files/run_files.h"
#include "files/source_bytes.h"
#include "session/action.h"
#include "session/transcript.h"
#include "view/view_gesture.h"

namespace driver {

class LoadedTools;
class SceneFile;
class SessionChecker;
class SessionHost;
class SessionReplay;

// Where a replayed scene is read from, and the files its run knows of.
struct SceneSource {
    const SourceBytes& bytes;  // what was read of the scene file
    const std::string& path;
    const std::vector<std::string>& referenced;  // the files that the scene refers to
    const std::string& outputPath;               // what Save writes; empty: none yet
};

// The scene on the stand-in host with the standing actions replayed, and
// the check that has seen them: each new action is checked and replayed
// after them, in a time that follows the action, not the session. The
// transcript's lines are kept as data only. The host is built over the
// viewer's libraries, which it leaves loaded.
struct ReplayedScene {
    ReplayedScene(const SceneSource& source, const std::string& pluginDir, LoadedTools& tools);
    ~ReplayedScene();
    ReplayedScene(const ReplayedScene&) = delete;
    ReplayedScene& operator=(const ReplayedScene&) = delete;

    // Replays actions that were checked when they ran, the check seeing
    // each in turn (a name pattern keeps the nodes it found then).
    void ReplayKept(const std::vector<Action>& actions);
    // Replays an action already checked; its transcript lines are added to
    // `lines` and `warnings`, and the nodes it changed to `changes`.
    void Run(const Action& action, std::vector<std::string>& lines, std::vector<std::string>& warnings,
             ViewChanges& changes);
    // Every node that the standing actions changed.
    void AddChangedSinceStart(ViewChanges& changes) const;

    std::unique_ptr<SceneFile> file;
    std::unique_ptr<SessionHost> host;
    std::ostream discarded{nullptr};  // the transcript as text: none is needed
    Transcript::Lines lines;          // of the running action
    std::unique_ptr<Transcript> transcript;
    std::unique_ptr<SessionReplay> replay;
    RunFiles files;  // those of the run so far, for the check
    std::unique_ptr<SessionChecker> checker;
};

}  // namespace driver
