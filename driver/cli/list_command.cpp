#include "cli/list_command.h"

#include <iostream>

#include "files/output_file.h"
#include "scene/scene_listing.h"

namespace driver {

int RunList(const std::string& scenePath, bool json) {
    const std::unique_ptr<SceneFile> file = ReadScene(scenePath, SceneUse::LookedAt);
    if (json) {
        WriteSceneListingJson(*file, std::cout);
    } else {
        WriteSceneListing(*file, std::cout);
    }
    FlushStandardOutput();
    return 0;
}

}  // namespace driver
