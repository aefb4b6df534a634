#include "files/stand_in_files.h"

#include <utility>

#include "files/native_path.h"

namespace driver {

void StandInFiles::Add(StandIn standIn) {
    standIn.file = NativeText(NativePath(standIn.file).lexically_normal());
    standIns_.push_back(std::move(standIn));
}

const StandIn* StandInFiles::Of(const std::string& path) const {
    for (const StandIn& standIn : standIns_) {
        if (path == standIn.typed || path == standIn.file) {
            return &standIn;
        }
    }
    return nullptr;
}

std::string StandInFiles::Given(const std::string& typed) const {
    const StandIn* standIn = Of(typed);
    return standIn != nullptr ? standIn->file : typed;
}

std::string StandInFiles::Named(const std::string& path, const std::string& quoted) const {
    const StandIn* standIn = Of(path);
    return standIn != nullptr ? standIn->shown : quoted;
}

std::string StandInFiles::InMessage(std::string message) const {
    for (const StandIn& standIn : standIns_) {
        const std::string quoted = '"' + standIn.file + '"';
        for (std::size_t at = message.find(quoted); at != std::string::npos;
             at = message.find(quoted, at + standIn.shown.size())) {
            message.replace(at, quoted.size(), standIn.shown);
        }
    }
    return message;
}

}  // namespace driver
