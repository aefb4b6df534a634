#include "cli/list_command.h"

#include <iostream>

#include "cli/missing_files.h"
#include "cli/progress.h"
#include "files/output_file.h"
#include "files/run_files.h"
#include "scene/scene_listing.h"

namespace driver {

int RunList(const std::string& scenePath, bool json) {
    ProgressOfScene(scenePath);
    const std::unique_ptr<SceneFile> file = ReadScene(scenePath, SceneUse::Listed);
    WarnOfMissingFiles(scenePath, *file, std::cerr);
    // The listing must not land in a file that it lists (`>> room.bin`).
    CommandLineFiles named;
    named.scene = scenePath;
    FilesOfRun(named, file->ReferencedFiles());
    if (json) {
        WriteSceneListingJson(*file, std::cout);
    } else {
        WriteSceneListing(*file, std::cout);
    }
    try {
        FlushStandardOutput();
    } catch (const OutputFileError& e) {
        // A reader that stopped early (`| head`) had what it wanted.
        if (e.Code() != RefusalCode::ReaderGone) {
            throw;
        }
    }
    return 0;
}

}  // namespace driver
