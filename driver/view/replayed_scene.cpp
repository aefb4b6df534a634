#include "view/replayed_scene.h"

#include <iterator>

#include "hosting/session_host.h"
#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "session/session_check.h"
#include "session/session_replay.h"

namespace driver {

ReplayedScene::ReplayedScene(const SceneSource& source, const std::string& pluginDir, LoadedTools& tools)
    : file(ParseScene(source.bytes, source.path, SceneUse::Drawn)),
      host(std::make_unique<SessionHost>(*file, pluginDir, tools)),
      transcript(std::make_unique<Transcript>(discarded)),
      replay(std::make_unique<SessionReplay>(*host, *transcript, false, true)) {
    files.Add(source.path, RunFiles::Use::OnlyRead, "the scene file, which is only read");
    for (const std::string& path : source.referenced) {
        files.Add(path, RunFiles::Use::OnlyRead, "a file that the scene refers to, which is only read");
    }
    if (!source.outputPath.empty()) {
        files.Add(source.outputPath, RunFiles::Use::Written, "the scene that Save writes");
    }
    checker = std::make_unique<SessionChecker>(*host, files);
}

ReplayedScene::~ReplayedScene() = default;

void ReplayedScene::ReplayKept(const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        Action seen = action;
        checker->Check(seen);
        replay->Replay(action);
    }
}

void ReplayedScene::Run(const Action& action, std::vector<std::string>& into, std::vector<std::string>& warnings,
                        ViewChanges& changes) {
    lines = {};
    transcript->RecordTo(&lines);
    replay->Replay(action);
    transcript->RecordTo(nullptr);
    std::move(lines.lines.begin(), lines.lines.end(), std::back_inserter(into));
    std::move(lines.warnings.begin(), lines.warnings.end(), std::back_inserter(warnings));
    replay->History().VisitChangesSinceMark([&changes](const NodeChange& change) {
        for (const Aspect aspect : change.aspects) {
            changes.Add(change.index, AspectName(aspect));
        }
    });
}

void ReplayedScene::AddChangedSinceStart(ViewChanges& changes) const {
    for (const NodeChange& change : replay->History().ChangesSinceStart()) {
        changes.Add(change.index);
    }
}

}  // namespace driver
