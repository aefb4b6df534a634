#include "scene/scene_format.h"

#include "scene/finite_scene.h"

namespace driver {

std::string SceneFile::FormatName() const { return format_->name; }

UpAxis SceneFile::Up() const { return format_->up; }

const char* SceneFile::DrawnWith() const { return format_->drawnWith; }

FileContent SceneFile::Content(const std::string& path, const std::vector<std::size_t>& selection) {
    if (const std::optional<NonFiniteNode> bad = FirstNonFiniteNode(*document_.scene)) {
        ScenePlace place;
        place.node = bad->index;
        place.name = bad->node->Name();
        throw SceneFileError(SceneErrorText(path == "-" ? "standard output" : path, place, bad->reason));
    }
    return Written(path, selection);
}

}  // namespace driver
