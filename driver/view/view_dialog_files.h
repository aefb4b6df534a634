#pragma once

#include <string>
#include <vector>

#include "json/json_writer.h"
#include "view/view_folders.h"

namespace driver {

// What the page's file form offers for a names tool's dialog ("save" or
// "load"): the names files directly inside the folders the viewer reaches
// (no dotfiles, no walk into subfolders), the path the form starts with,
// and what the file holds.
struct DialogFiles {
    std::vector<std::string> files;  // sorted, at most kMostDialogFiles
    bool more = false;               // the folders hold more than are listed
    std::string suggested;           // empty: nothing to suggest
    std::string format;
};

constexpr std::size_t kMostDialogFiles = 200;

// `scenePath` gives the suggested name: the scene's own name with
// "-names.txt", beside it; a load suggests it only where it exists.
DialogFiles FilesForDialog(const ViewFolders& folders, const std::string& dialog, const std::string& scenePath);

void WriteDialogFiles(JsonWriter& json, const DialogFiles& files);

}  // namespace driver
