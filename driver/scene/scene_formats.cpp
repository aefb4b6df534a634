// The table of scene formats. A file is in the format whose magic bytes it
// begins with; else in the one whose extension its name has; else in the
// one without extensions, the project's own. A new format is a folder of
// its own under scene/ and a row here.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "files/input_file.h"
#include "files/native_path.h"
#include "scene/gltf/gltf_scene_file.h"
#include "scene/project/scene_file.h"
#include "scene/scene_format.h"

namespace driver {

namespace {

const SceneFormat kSceneFormats[] = {
    {"glTF", "glTF", "", {".gltf"}, "glTF", UpAxis::Y, gltf::ParseGltfScene, "gltf"},
    {"GLB", "GLB", "glTF", {".glb"}, "glTF", UpAxis::Y, gltf::ParseGlbScene, "gltf"},
    {"scene file", "in the project's own format", "", {}, nullptr, UpAxis::Z, ParseProjectScene, nullptr},
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `path` ends in `extension` (lower case), in any case.
bool HasExtension(const std::string& path, std::string_view extension) {
    return path.size() >= extension.size() &&
           std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char e, char c) { return e == AsciiLower(c); });
}

// The format that a file called `path` is in by its name alone.
const SceneFormat& FormatNamedBy(const std::string& path) {
    const SceneFormat* unnamed = nullptr;
    for (const SceneFormat& format : kSceneFormats) {
        if (format.extensions.empty()) {
            unnamed = &format;
        }
        for (const std::string_view extension : format.extensions) {
            if (HasExtension(path, extension)) {
                return format;
            }
        }
    }
    return *unnamed;
}

const SceneFormat& FormatOf(const SourceBytes& bytes, const std::string& path) {
    const std::shared_ptr<const std::string> start =
        bytes.Read(0, static_cast<std::size_t>(std::min<std::uint64_t>(bytes.Size(), 16)));
    for (const SceneFormat& format : kSceneFormats) {
        if (!format.magic.empty() && std::string_view(*start).substr(0, format.magic.size()) == format.magic) {
            return format;
        }
    }
    return FormatNamedBy(path);
}

bool OfOneFamily(const SceneFormat& a, const SceneFormat& b) {
    return a.family != nullptr && b.family != nullptr && std::string_view(a.family) == b.family;
}

// The extensions that a scene of `sceneFormat` is written to: its own
// first, then those of its family's other formats.
std::string WrittenExtensions(const SceneFormat& sceneFormat, FormatChange change) {
    std::string extensions(sceneFormat.extensions.front());
    for (const SceneFormat& format : kSceneFormats) {
        if (change == FormatChange::Allowed && &format != &sceneFormat && OfOneFamily(format, sceneFormat)) {
            for (const std::string_view extension : format.extensions) {
                extensions += " or " + std::string(extension);
            }
        }
    }
    return extensions;
}

// The rule of names that `path` breaks for a scene of `format`, if any.
std::optional<Refusal> WrongNameFor(const SceneFormat& sceneFormat, const std::string& path, FormatChange change) {
    const SceneFormat& named = FormatNamedBy(path);
    if (&named == &sceneFormat || (change == FormatChange::Allowed && OfOneFamily(named, sceneFormat))) {
        return std::nullopt;
    }
    const std::string scene = std::string("the scene is ") + sceneFormat.describedAs;
    if (!sceneFormat.extensions.empty()) {
        return Refusal{RefusalCode::WrongFormat,
                       scene + ", which is written to a " + WrittenExtensions(sceneFormat, change) + " file"};
    }
    std::string others;
    for (const SceneFormat& format : kSceneFormats) {
        for (const std::string_view extension : format.extensions) {
            others += (others.empty() ? "" : " or ") + std::string(extension);
        }
    }
    return Refusal{RefusalCode::WrongFormat, scene + ", which is not written to a " + others + " file"};
}

// A file that only the format without extensions could be read as, and
// that does not begin as its files do (a JSON object: "{" after any blank
// and a byte order mark),
// is in none of the formats: an OBJ, a session, a picture.
void CheckIsSceneOfAnyFormat(const SourceBytes& bytes, const SceneFormat& format, const std::string& path) {
    if (!format.extensions.empty() || !format.magic.empty()) {
        return;
    }
    constexpr std::size_t kLooked = 4096;
    const std::shared_ptr<const std::string> start =
        bytes.Read(0, static_cast<std::size_t>(std::min<std::uint64_t>(bytes.Size(), kLooked)));
    // A byte order mark before the object is passed over, as the reader does.
    const std::size_t bom = start->compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const std::size_t first = start->find_first_not_of(" \t\r\n", bom);
    if (first != std::string::npos && (*start)[first] == '{') {
        return;
    }
    std::string known;
    for (const SceneFormat& each : kSceneFormats) {
        for (const std::string_view extension : each.extensions) {
            known += (known.empty() ? "" : ", ") + std::string(extension);
        }
    }
    throw SceneFileError(path + ": not a scene that morvane-host reads: neither glTF 2.0 (" + known +
                         ") nor a scene file of the project's own (a JSON object, see docs/scene-files.md)");
}

}  // namespace

std::optional<Refusal> SceneFile::WrongName(const std::string& path, FormatChange change) const {
    return WrongNameFor(*format_, path, change);
}

std::optional<Refusal> WrongOutputName(const std::string& scenePath, const std::string& path, FormatChange change) {
    std::string head(16, '\0');
    std::FILE* file = OpenToRead(scenePath);
    if (file == nullptr) {
        return std::nullopt;
    }
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    return WrongNameFor(FormatOf(SourceBytes(std::move(head)), scenePath), path, change);
}

const char* FormatNamedByPath(const std::string& path) { return FormatNamedBy(path).name; }

bool NamedAsScene(const std::string& path) { return !FormatNamedBy(path).extensions.empty(); }

std::unique_ptr<SceneFile> ParseScene(const SourceBytes& bytes, const std::string& path, SceneUse use) {
    const SceneFormat& format = FormatOf(bytes, path);
    CheckIsSceneOfAnyFormat(bytes, format, path);
    std::unique_ptr<SceneFile> file = format.read(bytes, path, use);
    bytes.CheckUnchanged();  // what was read is one version of the file
    file->format_ = &format;
    return file;
}

std::unique_ptr<SceneFile> ParseScene(std::string bytes, const std::string& path, SceneUse use) {
    return ParseScene(SourceBytes(std::move(bytes)), path, use);
}

std::unique_ptr<SceneFile> ReadScene(const std::string& path, SceneUse use) {
    return ParseScene(SourceBytes::OfFile(path), path, use);
}

}  // namespace driver
