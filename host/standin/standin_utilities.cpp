#include "standin/standin_interface.h"

#include "standin/plugin_calls.h"

namespace standin {

UtilityHandle* StandinInterface::HostUtilityHandle() { return reinterpret_cast<UtilityHandle*>(&hostHandle_); }

void StandinInterface::OpenUtility(UtilityPlugin* utility, UtilityHandle* handle) {
    if (utility == nullptr) {
        scene_.ReportViolation("OpenUtility: null utility");
        return;
    }
    CloseUtility();
    utility_ = utility;
    utilityHandle_ = handle != nullptr ? handle : HostUtilityHandle();
    const PluginCall call("BeginEditParams");
    utility_->BeginEditParams(this, utilityHandle_);
}

void StandinInterface::CloseUtility() {
    UtilityPlugin* utility = utility_;
    if (utility == nullptr) {
        return;
    }
    UtilityHandle* handle = utilityHandle_;
    utility_ = nullptr;
    utilityHandle_ = nullptr;
    const PluginCall call("EndEditParams");
    utility->EndEditParams(this, handle);
}

void StandinInterface::ChangeSelection(std::vector<StandinNode*> nodes) {
    if (!IsSelectable(nodes)) {
        return;
    }
    selection_ = std::move(nodes);
    if (utility_ != nullptr) {
        const PluginCall call("SelectionChanged");
        utility_->SelectionChanged(this, utilityHandle_);
    }
}

}  // namespace standin
