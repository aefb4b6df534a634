#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_content.h"
#include "files/source_bytes.h"
#include "scene/scene_document.h"
#include "scene/scene_error.h"
#include "scene/up_axis.h"
#include "scene/world_box.h"
#include "standin/standin_scene.h"
#include "standin/transform_math.h"
#include "text/refusal.h"

namespace driver {

// What of a node's placement an animation drives.
struct AnimatedParts {
    bool translation = false;
    bool rotation = false;
    bool scale = false;
    bool Any() const { return translation || rotation || scale; }
};

class SceneFile;

// Whether a scene may be written in another format of its family than the
// one it was read in (the viewer writes it as read).
enum class FormatChange { Allowed, Refused };

// A file that is written beside a scene's file, which refers to it.
struct FileBeside {
    std::string path;
    FileContent content;
};

// Whether a scene read will be written back: one that will not keeps
// nothing of the text it was read from once its scene is built, which
// halves what a large file costs a run that only looks at it. One that is
// listed is looked at, and has the box that each node draws in found
// while the text is there (SceneFile::DrawnBox): only a listing pays for
// the boxes. A scene that is Drawn (by the viewer) is written back too,
// and keeps what DrawnPlacements needs.
enum class SceneUse { Written, LookedAt, Listed, Drawn };

// Where a client that draws a file itself places a node: its pivot's and
// its object's world transforms, in double precision.
struct DrawnPlacement {
    standin::Affine world;
    standin::Affine object;
};

// Where a node of the scene stands in its file: its index in the file's
// list of nodes, and that of the node that holds its object (itself, or a
// child that holds it since its pivot moved); kNoFileNode for none, as for
// the root. `holds` names what its object has: "mesh", "skin", "camera",
// "light", "instances", "weights"; and "joint" where the node itself is a
// joint of a skin. `draws`: its object draws something (a mesh, a skin, a
// camera, a light or instances), which a client that draws the file loads.
constexpr std::size_t kNoFileNode = static_cast<std::size_t>(-1);
struct NodeSource {
    std::size_t fileNode = kNoFileNode;
    std::size_t objectNode = kNoFileNode;
    std::vector<const char*> holds;
    bool draws = false;
    bool joint = false;
};

// One format of scene files, a row of the table in scene_formats.cpp: its
// name, how a file is told to be one, and how one is read. What is read
// writes itself back in its format.
struct SceneFormat {
    // The format's name as messages give it: "scene file", "glTF", "GLB".
    const char* name;
    // What messages say a scene of the format is, after "the scene is":
    // "glTF", "in the project's own format".
    const char* describedAs;
    // The bytes every file of the format begins with, where it has such:
    // they tell the format whatever the file is called.
    std::string_view magic;
    // The extensions of its files, in lower case (they match in any case),
    // the one it is written to first. The format without any takes every
    // name that no other format's extension claims.
    std::vector<std::string_view> extensions;
    // The formats of one family ("glTF": .gltf and .glb) hold the same
    // scenes: a scene of one is written to a name of any of them, in the
    // format that name is of. None for a format that is written as read.
    const char* family;
    // The world axis that points up in the format's scenes, which the
    // pictures of --svg draw up the page.
    UpAxis up;
    // The scene in `bytes`, the content of the file at `path`, read as
    // far as the format needs. Reads no other file. Throws SceneFileError
    // with the file, the place in it and the reason (InputFileError when
    // the file cannot give what is read).
    std::unique_ptr<SceneFile> (*read)(const SourceBytes& bytes, const std::string& path, SceneUse use);
    // How a client that draws scenes (the viewer's page) reads a file of
    // the format to draw its meshes: "gltf" (a glTF loader), or nullptr
    // where it draws markers where the nodes are.
    const char* drawnWith;
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
    std::string FormatName() const;

    // None when the scene may be written to `path`: a name that reads back
    // in this format, or with FormatChange::Allowed in another format of
    // its family (a glTF scene to a .glb file); else the rule that the name
    // breaks ("the scene is glTF, which is written to a .gltf or .glb file").
    std::optional<Refusal> WrongName(const std::string& path, FormatChange change = FormatChange::Allowed) const;

    // The files that writing the scene to `path` writes beside it, each
    // with its content, written with it and checked as it is: a GLB scene
    // written to a .gltf file puts its binary chunk in a .bin file beside
    // it. Empty for most. Throws SceneFileError for a name that cannot be
    // given such a file.
    virtual std::vector<FileBeside> FilesBeside(const std::string& path) const {
        (void)path;
        return {};
    }

    // The content of a file at `path` that holds the scene as it now
    // stands, with `selection` as pre-order indices (formats without a
    // selection leave it out). It shares what it needs of this file's text,
    // so it stays valid after later writes and after this object is gone.
    // A format whose files refer to others by relative paths rewrites them
    // for `path`'s folder; the path "-" is standard output, whose folder is
    // the working folder. Throws SceneFileError, naming the node, for a
    // scene this format cannot hold, such as one with a number that is not
    // finite; nothing is written then.
    FileContent Content(const std::string& path, const std::vector<std::size_t>& selection);

    // The world axis that points up in this format's scenes.
    UpAxis Up() const;
    // SceneFormat::drawnWith of the file's format.
    const char* DrawnWith() const;

    // The files that the scene's file refers to, such as a glTF file's
    // buffers and images, which the scene needs as they are.
    virtual std::vector<std::string> ReferencedFiles() const { return {}; }

    // Where node `index` (pre-order) comes from in the file and what it
    // holds, for a client that draws the file itself.
    virtual NodeSource SourceOf(std::size_t index) const {
        (void)index;
        return {};
    }

    // Where a client that draws the file itself places the nodes
    // `indices` (pre-order, ascending), for a scene read to be Drawn: at
    // the file's own numbers where the tools changed nothing of a node's
    // placement nor of its parents', else where the file that Content
    // writes now places it. Empty where the format has nothing more exact
    // than the scene's own (single precision) transforms.
    virtual std::vector<DrawnPlacement> DrawnPlacements(const std::vector<std::size_t>& indices) const {
        (void)indices;
        return {};
    }

    // The parts of a node's placement relative to its parent that an
    // animation of the file drives.
    virtual AnimatedParts DrivenByAnimation(const standin::StandinNode& node) const {
        (void)node;
        return {};
    }
    // Why the file cannot hold the node as it now stands, with what keeps
    // its place as it changed (its children, its object), so that every
    // animation plays as it did: names the animation, the channel and the
    // node it drives. None where it can, as for every format without
    // animations.
    virtual std::optional<std::string> MotionRefusal(const standin::StandinNode& node) const {
        (void)node;
        return std::nullopt;
    }
    // What the file shows that a node moves when it moves with its object
    // (as Align moves it) beyond the object itself: the skinned meshes
    // whose vertices a joint weighs ("node 1 "Body" (skin 0 "Skin")").
    virtual std::vector<std::string> MovedWith(const standin::StandinNode& node) const {
        (void)node;
        return {};
    }

    // The box in world units that node `index` (pre-order) draws in, for a
    // scene read for SceneUse::Listed: none for a node that draws nothing
    // (a camera, a light, a helper), or whose box the file does not tell.
    virtual std::optional<WorldBox> DrawnBox(std::size_t index) const {
        (void)index;
        return std::nullopt;
    }
    // The same box in the frame of the node's object (its pivot's, unless
    // the pivot moved apart from it): none where it has no such frame (a
    // skinned mesh).
    virtual std::optional<WorldBox> ObjectBox(std::size_t index) const {
        (void)index;
        return std::nullopt;
    }

    // Where a node (by pre-order index) is in the file, as messages about
    // the file name it: "nodes[3]" for a glTF node; none where the format
    // has no such name.
    [[nodiscard]] virtual std::optional<std::string> FileNodeName(std::size_t index) const {
        (void)index;
        return std::nullopt;
    }
    // Why the file places the node's object by something other than the
    // node, such as a glTF skinned mesh, which its joints place, so that a
    // new placement of the node does not move it; none where it does not.
    virtual std::optional<std::string> ObjectPlacedElsewhere(const standin::StandinNode& node) const {
        (void)node;
        return std::nullopt;
    }

protected:
    // What Content gives, for a scene whose every number is finite.
    virtual FileContent Written(const std::string& path, const std::vector<std::size_t>& selection) = 0;

    SceneDocument document_;

private:
    friend std::unique_ptr<SceneFile> ParseScene(const SourceBytes& bytes, const std::string& path, SceneUse use);
    const SceneFormat* format_ = nullptr;
};

// The scene in `bytes`, the content of the file at `path`, in the format
// that the content (or, where the content does not tell, the extension of
// `path`) names. Reads no other file. Throws SceneFileError with the file,
// the place in it and the reason.
std::unique_ptr<SceneFile> ParseScene(std::string bytes, const std::string& path, SceneUse use = SceneUse::Written);
std::unique_ptr<SceneFile> ParseScene(const SourceBytes& bytes, const std::string& path,
                                      SceneUse use = SceneUse::Written);
// What SceneFile::WrongName would say of an output `path` for the scene in
// the file at `scenePath`, its format told by the file's first bytes and
// its name, without reading it whole; none where it cannot be opened (the
// read of the scene then says why).
std::optional<Refusal> WrongOutputName(const std::string& scenePath, const std::string& path,
                                       FormatChange change = FormatChange::Allowed);

// The name of the format ("glTF", "GLB", "scene file") that a file called
// `path` is in by its name alone.
const char* FormatNamedByPath(const std::string& path);

// Whether `path` has the extension of a scene format (".gltf", ".glb").
bool NamedAsScene(const std::string& path);

// The same for the file at `path`, held open and read as far as its format
// needs (a GLB file's binary chunk stays in the file and is copied from it
// when the scene is written); throws InputFileError when it cannot be read.
std::unique_ptr<SceneFile> ReadScene(const std::string& path, SceneUse use = SceneUse::Written);

}  // namespace driver
