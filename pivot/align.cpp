#include <utility>
#include <vector>

#include "align_node.h"
#include "namesake_index.h"
#include "pivot_utility.h"

void PivotUtility::AlignSelected() {
    Interface* const ip = StoredInterface();
    if (ip == nullptr) {
        return;
    }
    const int count = ip->SelectedNodeCount();
    if (count <= 0) {
        return;
    }
    ip->SuspendSceneRedraw();
    SceneNode* root = ip->RootNode();
    // One walk finds every namesake; Align renames nothing, so they stay
    // what a search at each node's turn would find.
    std::vector<SceneNode*> nodes;
    std::vector<pivot_tool::NamesakeLookUp> lookUps;
    nodes.reserve(static_cast<std::size_t>(count));
    lookUps.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (SceneNode* node = ip->SelectedNode(i)) {
            nodes.push_back(node);
            lookUps.push_back({node->NodeName(), node});
        }
    }
    const pivot_tool::NamesakeIndex namesakes(root, std::move(lookUps));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (SceneNode* namesake = namesakes.NamesakeOf(i)) {
            pivot_tool::AlignNodeTo(*ip, *nodes[i], *namesake);
        }
    }
    ip->ResumeSceneRedraw();
    ip->RedrawViewports(ip->CurrentTime(), REDRAW_NORMAL, nullptr);
}
