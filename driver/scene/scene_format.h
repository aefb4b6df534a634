#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/project/scene_file.h"
#include "scene/up_axis.h"
#include "standin/standin_scene.h"

namespace driver {

// What of a node's placement an animation drives.
struct AnimatedParts {
    bool translation = false;
    bool rotation = false;
    bool scale = false;
    bool Any() const { return translation || rotation || scale; }
};

// A scene read from a file in one of the formats the driver knows, with
// what that format needs to write the scene back. The document is the
// stand-in scene the run works on; the rest (the file's other content, how
// its nodes map onto the scene's) stays with the format.
class SceneFile {
public:
    virtual ~SceneFile() = default;

    SceneDocument& Document() { return document_; }

    // The format's name as messages give it: "scene file", "glTF", "GLB".
    virtual std::string FormatName() const = 0;

    // Empty when a file of this format may be written to `path`, a name that
    // reads back in this format; else the rule that the name breaks ("the
    // scene is glTF, which is written to a .gltf file").
    virtual std::string WrongName(const std::string& path) const = 0;

    // The bytes of a file at `path` that holds the scene as it now stands,
    // with `selection` as pre-order indices (formats without a selection
    // leave it out). A format whose files refer to others by relative
    // paths rewrites them for `path`'s folder; the path "-" is standard
    // output, whose folder is the working folder. Throws SceneFileError,
    // naming the node, for a scene this format cannot hold; nothing is
    // written then.
    virtual std::string Write(const std::string& path, const std::vector<std::size_t>& selection) = 0;

    // The world axis that points up in this format's scenes, which the
    // pictures of --svg draw up the page.
    virtual UpAxis Up() const { return UpAxis::Z; }

    // The files that the scene's file refers to, such as a glTF file's
    // buffers and images, which the scene needs as they are.
    virtual std::vector<std::string> ReferencedFiles() const { return {}; }

    // The parts of a node's placement relative to its parent that an
    // animation of the file drives, so that an edit of them is overridden
    // when the animation plays.
    virtual AnimatedParts DrivenByAnimation(const standin::StandinNode& node) const {
        (void)node;
        return {};
    }

protected:
    SceneDocument document_;
};

// The scene in `bytes`, the content of the file at `path`, in the format
// that the content (or, where the content does not tell, the extension of
// `path`) names. Reads no other file. Throws SceneFileError with the file,
// the place in it and the reason.
std::unique_ptr<SceneFile> ParseScene(const std::string& bytes, const std::string& path);
// The same for the file at `path`, read whole; throws InputFileError when
// it cannot be read.
std::unique_ptr<SceneFile> ReadScene(const std::string& path);

}  // namespace driver
