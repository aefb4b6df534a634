#include "save_target.h"

#include <string_view>
#include <vector>

namespace names_tool {

SaveResult SaveTarget::Stopped(const std::string& reason) const {
    SaveResult result;
    result.outcome = file_.Result();
    result.reason = file_.IsOpen() ? reason : safewrite::ReasonOf(file_.OpenError());
    return result;
}

SaveResult SaveTarget::Write(const NameLines& names) {
    if (!file_.IsOpen()) {
        return Stopped("");
    }
    try {
        const std::vector<std::string_view> pieces(names.Blocks().begin(), names.Blocks().end());
        safewrite::Error error = file_.Stage(pieces);
        if (error == safewrite::Error::None) {
            error = file_.Commit();
        }
        if (error != safewrite::Error::None) {
            return Stopped(safewrite::ReasonOf(error));
        }
        return {file_.Result(), names.size(), file_.InPlaceReason().value_or(std::string())};
    } catch (...) {
        return Stopped("out of memory");
    }
}

}  // namespace names_tool
