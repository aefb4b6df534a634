#include "scene/project/scene_file.h"

namespace driver {

namespace {

// The project's own scene file: everything it holds is in the document.
class ProjectSceneFile final : public SceneFile {
public:
    explicit ProjectSceneFile(SceneDocument document) { document_ = std::move(document); }

private:
    FileContent Written(const std::string&, const std::vector<std::size_t>& selection) override {
        return WriteSceneFile(*document_.scene, selection, document_.animationRange, document_.currentTime);
    }
};

}  // namespace

std::unique_ptr<SceneFile> ParseProjectScene(const SourceBytes& bytes, const std::string& path, SceneUse) {
    return std::make_unique<ProjectSceneFile>(ParseSceneFile(*bytes.Whole(), path));
}

}  // namespace driver
