#include "view/view_dialog_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/file_identity.h"
#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

constexpr const char* kNamesFormat = "a names file: UTF-8 text, one node name a line, in scene order (.txt)";

// The names files directly inside `folder` that the dialog may choose;
// `more` when there are more than `room`.
void AddNamesFiles(const ViewFolders& folders, const std::string& folder, bool saving, std::size_t room,
                   std::vector<std::string>& files, bool& more) {
    std::error_code error;
    for (fs::directory_iterator entry(NativePath(folder), error), end; !error && entry != end; entry.increment(error)) {
        const fs::path& path = entry->path();
        const std::string name = NativeText(path.filename());
        std::error_code kind;
        if (name.empty() || name[0] == '.' || path.extension() != ".txt" || !entry->is_regular_file(kind) ||
            folders.Unreachable(NativeText(path), saving)) {
            continue;
        }
        if (room == 0) {
            more = true;
            return;
        }
        files.push_back(NativeText(path));
        --room;
    }
}

}  // namespace

DialogFiles FilesForDialog(const ViewFolders& folders, const std::string& dialog, const std::string& scenePath) {
    DialogFiles found;
    for (const std::string& folder : folders.Folders()) {
        AddNamesFiles(folders, folder, dialog == "save", kMostDialogFiles - found.files.size(), found.files,
                      found.more);
    }
    std::sort(found.files.begin(), found.files.end());
    found.format = kNamesFormat;
    const std::optional<FilePlace> scene = PlaceOf(scenePath);
    fs::path suggested = NativePath(scene ? scene->realPath : std::string());
    suggested.replace_filename(NativeText(suggested.stem()) + "-names.txt");
    const std::string text = scene ? NativeText(suggested) : std::string();
    const bool listed = std::find(found.files.begin(), found.files.end(), text) != found.files.end();
    if (!text.empty() && !folders.Unreachable(text, dialog == "save") && (dialog == "save" || listed)) {
        found.suggested = text;
    }
    return found;
}

void WriteDialogFiles(JsonWriter& json, const DialogFiles& files) {
    json.BeginObject().Texts("files", files.files).Key("more").Bool(files.more);
    json.Key("suggested").Text(files.suggested).Key("format").Text(files.format).EndObject();
}

}  // namespace driver
