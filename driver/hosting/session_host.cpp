#include "hosting/session_host.h"

#include "hosting/panel_model_reader.h"

#include <unordered_map>

#include "standin/plugin_calls.h"

namespace driver {

SessionHost::SessionHost(SceneFile& file, std::string pluginDir)
    : SessionHost(file, std::move(pluginDir), std::make_unique<LoadedTools>(), nullptr) {}

SessionHost::SessionHost(SceneFile& file, std::string pluginDir, LoadedTools& tools)
    : SessionHost(file, std::move(pluginDir), nullptr, &tools) {}

SessionHost::SessionHost(SceneFile& file, std::string pluginDir, std::unique_ptr<LoadedTools> own, LoadedTools* shared)
    : file_(file),
      pluginDir_(std::move(pluginDir)),
      host_(*file.Document().scene),
      order_(file.Document().scene->PreOrder()),
      ownTools_(std::move(own)),
      tools_(shared != nullptr ? *shared : *ownTools_) {
    const SceneDocument& document = file.Document();
    host_.SetAnimationRange(document.animationRange);
    host_.SetCurrentTime(document.currentTime);
    std::vector<standin::StandinNode*> selection;
    for (const std::size_t index : document.selection) {
        selection.push_back(order_.at(index));
    }
    host_.SetSelection(std::move(selection));
    host_.Journal().SetEnabled(false);
}

SessionHost::~SessionHost() { host_.CloseUtility(); }

ToolLibrary& SessionHost::Library(const std::string& plugin) { return tools_.Library(FindTool(plugin, pluginDir_)); }

UtilityPlugin* SessionHost::Utility(ToolLibrary& tool) {
    standin::SetCalledLibrary(tool.library->Path());
    const standin::PluginCall call("ClassDesc::Create");
    auto* utility = static_cast<UtilityPlugin*>(tool.descriptor->Create(0));
    if (utility == nullptr) {
        throw ToolLibraryError(tool.library->Path() + ": its class descriptor created no utility");
    }
    return utility;
}

const PanelModel* SessionHost::Model(ToolLibrary& tool) {
    const std::string& path = tool.library->Path();
    const PanelModel* learnt = tools_.Model(path);
    if (learnt == nullptr) {
        if (Panel() != nullptr) {
            return nullptr;
        }
        // A copy: opening the panel posts calls of its own.
        const std::string opened = standin::CalledLibrary();  // NOLINT(performance-unnecessary-copy-initialization)
        host_.OpenUtility(Utility(tool));
        PanelModel model = OpenPanelModel();
        host_.CloseUtility();
        standin::SetCalledLibrary(opened);
        learnt = &tools_.Learn(path, std::move(model));
    }
    return learnt;
}

HWND SessionHost::Panel() const {
    const auto& pages = host_.PanelPages();
    return pages.empty() ? nullptr : pages.back().window;
}

PanelModel SessionHost::OpenPanelModel() const {
    const auto& pages = host_.PanelPages();
    return pages.empty() ? PanelModel() : ReadPanelModel(pages.back().module, pages.back().templateId);
}

std::vector<std::size_t> SessionHost::SelectionIndices() const {
    const std::vector<standin::StandinNode*>& selection = host_.Selection();
    std::unordered_map<const standin::StandinNode*, std::size_t> indexOf;
    for (const standin::StandinNode* node : selection) {
        indexOf.emplace(node, 0);
    }
    for (std::size_t i = 0; i < order_.size() && !indexOf.empty(); ++i) {
        const auto found = indexOf.find(order_[i]);
        if (found != indexOf.end()) {
            found->second = i;
        }
    }
    std::vector<std::size_t> indices;
    indices.reserve(selection.size());
    for (const standin::StandinNode* node : selection) {
        indices.push_back(indexOf.at(node));
    }
    return indices;
}

}  // namespace driver
