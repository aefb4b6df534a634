#pragma once

#include <string>

namespace driver {

// A new folder of the run's own in the system's temporary folder, removed
// with all it holds when the object goes: where a tool writes a file that
// the run then hands on (the names of "save-names SCENE -"). Throws
// OutputFileError when none can be made.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of `name` in the folder.
    std::string PathOf(const std::string& name) const;

private:
    std::string folder_;
};

}  // namespace driver
