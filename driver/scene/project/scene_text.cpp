#include "scene/project/scene_text.h"

#include "scene/scene_error.h"

namespace driver {

void SceneText::Fail(TextPlace place, const std::string& what) const {
    ScenePlace where;
    where.text = place;
    where.node = node_;
    if (node_ && name_ != nullptr) {
        where.name = *name_;
    }
    throw SceneFileError(SceneErrorText(path_, where, what));
}

}  // namespace driver
