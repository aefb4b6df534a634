#include "hosting/loaded_tools.h"

#include <utility>

namespace driver {

ToolLibrary& LoadedTools::Library(const std::string& path) {
    auto loaded = libraries_.find(path);
    if (loaded == libraries_.end()) {
        loaded = libraries_.emplace(path, LoadToolLibrary(path)).first;
    }
    return loaded->second;
}

const PanelModel* LoadedTools::Model(const std::string& path) const {
    const auto learnt = models_.find(path);
    return learnt == models_.end() ? nullptr : &learnt->second;
}

const PanelModel& LoadedTools::Learn(const std::string& path, PanelModel model) {
    return models_.insert_or_assign(path, std::move(model)).first->second;
}

}  // namespace driver
