#include "scene/scene_error.h"

#include "text/name_text.h"

namespace driver {

std::string SceneErrorText(const std::string& path, const ScenePlace& place, const std::string& what) {
    std::string text = path;
    if (place.text) {
        text += ":" + std::to_string(place.text->line) + ":" + std::to_string(place.text->column);
    }
    text += ": ";
    if (place.node) {
        text += "node " + std::to_string(*place.node) + (place.name ? " " + QuotedExcerpt(*place.name) : "") + ": ";
    }
    return text + what;
}

}  // namespace driver
