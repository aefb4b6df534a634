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
    // The folder `folder` that another process of the run made and
    // removes: this one only names it.
    explicit ScratchFolder(const std::string& folder) : folder_(folder), owned_(false) {}
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of `name` in the folder.
    std::string PathOf(const std::string& name) const;
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    bool owned_ = true;
};

}  // namespace driver
