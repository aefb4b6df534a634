#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "json/json_reader.h"
#include "text/refusal.h"

namespace driver {

// A scene file that cannot be read, or a scene that its format cannot hold;
// the message names the place.
class SceneFileError : public CodedError {
public:
    explicit SceneFileError(const std::string& message) : CodedError(RefusalCode::BadScene, message) {}
};

// Where in a scene file a problem lies, as far as it is known: the line and
// column (for formats of text), the node by its pre-order index, and the
// node's name once it has been read.
struct ScenePlace {
    std::optional<TextPlace> text;
    std::optional<std::size_t> node;
    std::optional<std::string> name;
};

// The one notation of scene file errors, for every format:
// "FILE:LINE:COLUMN: node 5 "Chair": WHAT", each part present where known.
std::string SceneErrorText(const std::string& path, const ScenePlace& place, const std::string& what);

}  // namespace driver
