#include <cstring>
#include <vector>

#include "align_node.h"
#include "namesake_index.h"
#include "pivot_utility.h"
#include "scene_order.h"

void PivotUtility::AlignSelected() {
    if (ip == nullptr) {
        return;
    }
    const int count = ip->SelectedNodeCount();
    if (count <= 0) {
        return;
    }
    ip->SuspendSceneRedraw();
    SceneNode* root = ip->RootNode();
    if (count == 1) {
        SceneNode* node = ip->SelectedNode(0);
        SceneNode* namesake = node != nullptr ? FindNamesake(root, node->NodeName(), node) : nullptr;
        if (namesake != nullptr) {
            tarvel::AlignNodeTo(*ip, *node, *namesake);
        }
    } else {
        // One walk finds every namesake; Align renames nothing, so they stay
        // what a search at each node's turn would find.
        std::vector<SceneNode*> nodes;
        nodes.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            nodes.push_back(ip->SelectedNode(i));
        }
        const tarvel::NamesakeIndex namesakes(root, nodes);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (SceneNode* namesake = namesakes.NamesakeOf(i)) {
                tarvel::AlignNodeTo(*ip, *nodes[i], *namesake);
            }
        }
    }
    ip->ResumeSceneRedraw();
    ip->RedrawViewports(ip->CurrentTime(), REDRAW_NORMAL, nullptr);
}

SceneNode* PivotUtility::FindNamesake(SceneNode* node, const char* name, SceneNode* excluded) {
    SceneNode* found = nullptr;
    VisitPreOrder(node, [&](SceneNode* candidate) {
        if (candidate != excluded && std::strcmp(candidate->NodeName(), name) == 0) {
            found = candidate;
            return false;
        }
        return true;
    });
    return found;
}
