#include "cli/missing_files.h"

#include <filesystem>
#include <system_error>

#include "files/display_path.h"
#include "files/native_path.h"
#include "text/name_text.h"

namespace driver {

void WarnOfMissingFiles(const std::string& scenePath, const SceneFile& file, std::ostream& err) {
    for (const std::string& referenced : file.ReferencedFiles()) {
        std::error_code error;
        // A file that cannot be looked at for another reason is not said to be missing.
        if (!std::filesystem::exists(NativePath(referenced), error) && !error) {
            err << "morvane-host: " << EscapedControls(scenePath)
                << ": warning: " << QuotedExcerpt(DisplayPath(referenced))
                << ", a file the scene refers to, does not exist (its nodes are read and written all the same, "
                   "and a written scene refers to it where this one does)\n";
        }
    }
}

}  // namespace driver
