#include "view/view_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/file_identity.h"
#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// How many folders above the scene's a URI may climb.
constexpr int kFolderDepth = 8;

// The path of the regular file that `path` opens; empty when it opens none.
std::string RealFile(const fs::path& path) {
    const std::optional<FilePlace> place = PlaceOf(NativeText(path));
    return place && place->regular ? place->realPath : std::string();
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

ViewFiles::ViewFiles(const std::string& pageDirectory, const std::string& scenePath,
                     const std::vector<std::string>& referenced, const ViewFolders& serving) {
    std::error_code error;
    const fs::path root = NativePath(pageDirectory);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            page_["/" + fs::relative(it->path(), root, error).generic_string()] = NativeText(it->path());
        }
    }
    const fs::path scene = NativePath(scenePath);
    sceneDirectory_ = NativeText(scene.parent_path().empty() ? fs::path(".") : scene.parent_path());
    sceneName_ = scene.filename().generic_string();
    scene_.insert(RealFile(scene));
    for (const std::string& file : referenced) {
        if (const std::optional<Refusal> refusal = ServingRefusal(serving, file)) {
            refused_.emplace_back(file, refusal->message);
        } else {
            scene_.insert(RealFile(NativePath(file)));
        }
    }
    scene_.erase("");
}

std::string ViewFiles::SceneRoute() const {
    std::string route = "scene/";
    for (int i = 0; i < kFolderDepth; ++i) {
        route += "_/";
    }
    return route + sceneName_;
}

std::optional<std::string> ViewFiles::Find(const std::string& route) const {
    // A decoded NUL would end the name that the system sees early
    // ("room.bin%00.png"); no served file has a control byte in its name.
    if (std::any_of(route.begin(), route.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        return std::nullopt;
    }
    const std::string scene = "/scene/";
    if (route.compare(0, scene.size(), scene) == 0) {
        return FindSceneFile(route.substr(scene.size()));
    }
    const auto found = page_.find(route);
    if (found == page_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::string> ViewFiles::FindSceneFile(const std::string& rest) const {
    std::size_t at = 0;
    int kept = 0;
    while (rest.compare(at, 2, "_/") == 0 && kept < kFolderDepth) {
        at += 2;
        ++kept;
    }
    fs::path path = NativePath(sceneDirectory_);
    for (int up = kept; up < kFolderDepth; ++up) {
        path /= "..";
    }
    path /= NativePath(rest.substr(at));
    const std::string real = RealFile(path);
    if (real.empty() || scene_.count(real) == 0) {
        return std::nullopt;
    }
    return real;
}

std::string ContentTypeOf(const std::string& path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".gltf", "model/gltf+json"},
        {".glb", "model/gltf-binary"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".webp", "image/webp"},
        {".json", "application/json"},
        {".wasm", "application/wasm"},
    };
    for (const auto& [end, type] : kTypes) {
        if (EndsWith(path, end)) {
            return type;
        }
    }
    return "application/octet-stream";
}

std::string ViewerPageDirectory(const std::string& pluginDirectory) {
    const fs::path program = NativePath(pluginDirectory);
    std::error_code error;
    for (const fs::path& candidate : {program / "viewer", program / ".." / ".." / "share" / "morvane" / "viewer"}) {
        if (fs::is_regular_file(candidate / "index.html", error)) {
            return NativeText(candidate.lexically_normal());
        }
    }
    return NativeText(program / "viewer");
}

}  // namespace driver
