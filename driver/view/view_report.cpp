// What the viewer tells the page after a gesture: the host's state and
// the nodes that changed, as ViewState.
#include "hosting/live_panel.h"
#include "hosting/session_host.h"
#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "text/name_text.h"
#include "view/replayed_scene.h"
#include "view/view_session.h"

namespace driver {

namespace {

// The controls of the panel's template, each with the state of the control
// of its id and kind on the open panel. A button or radio button of the
// template that the panel does not hold (a tool that destroyed it) is
// shown disabled.
std::vector<ViewControl> PanelOf(const PanelModel& model, const std::vector<PanelControl>& open) {
    std::vector<ViewControl> panel;
    for (const ModelControl& control : model.Controls()) {
        ViewControl shown{control};
        shown.worked = control.kind == "button" || control.kind == "radio";
        for (const PanelControl& live : open) {
            if (shown.worked && live.id == control.id && live.customButton == (control.kind == "button")) {
                shown.layout.caption = live.caption;
                shown.enabled = live.enabled;
                shown.checked = live.checked;
                break;
            }
        }
        panel.push_back(std::move(shown));
    }
    return panel;
}

}  // namespace

ViewState ViewSession::Whole() {
    ViewChanges all;
    for (std::size_t i = 0; i < replayed_->host->Nodes().size(); ++i) {
        all.Add(i);
    }
    ViewState state = Report(all);
    state.whole = true;
    return state;
}

ViewState ViewSession::Report(const ViewChanges& changes) {
    ViewState state;
    SessionHost& host = *replayed_->host;
    state.pickMode = host.Host().ActivePickMode() != nullptr;
    state.up = replayed_->file->Up();
    state.drawnWith = replayed_->file->DrawnWith();
    const PanelModel model = host.OpenPanelModel();
    state.openTool = ToolLeftOpen(gestures_);
    state.panel = PanelOf(model, PanelControls(host.Panel()));
    state.panelWidth = model.Width();
    state.panelHeight = model.Height();
    state.selection = host.SelectionIndices();
    const std::vector<standin::StandinNode*>& order = host.Nodes();
    std::vector<std::size_t> indices;
    indices.reserve(changes.nodes.size());
    for (const auto& change : changes.nodes) {
        indices.push_back(change.first);
    }
    const std::vector<DrawnPlacement> drawn = replayed_->file->DrawnPlacements(indices);
    state.nodes.reserve(changes.nodes.size());
    for (const auto& [index, aspects] : changes.nodes) {
        const NodeState node = StateOf(*order[index]);
        std::size_t depth = 0;
        for (const standin::StandinNode* up = order[index]->Parent(); up != nullptr; up = up->Parent()) {
            ++depth;
        }
        const std::size_t at = state.nodes.size();
        state.nodes.push_back({index, node.name, Quoted(node.name), depth,
                               at < drawn.size() ? drawn[at].world : standin::ToAffine(node.transform),
                               at < drawn.size() ? drawn[at].object : standin::ToAffine(node.objectWorld), aspects,
                               replayed_->file->SourceOf(index)});
    }
    state.undoable = gestures_.size();
    state.redoable = undone_.size();
    state.unsaved = Unsaved();
    for (const ViewGesture& gesture : gestures_) {
        for (const ViewNamesFile& file : gesture.files) {
            if (!file.saved) {
                state.reads.push_back(file.path);
            }
        }
    }
    return state;
}

}  // namespace driver
