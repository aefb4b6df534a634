#include "names_utility.h"
#include "scene_order.h"

void NamesUtility::CollectNames(SceneNode* node, std::vector<std::string>& list) {
    VisitPreOrder(node, [&list](SceneNode* visited) {
        list.emplace_back(visited->NodeName());
        return true;
    });
}

bool NamesUtility::ApplyNames(SceneNode* node, const std::vector<std::string>& list, std::uint32_t& position) {
    return VisitPreOrder(node, [&](SceneNode* visited) {
        if (position >= list.size()) {
            return false;
        }
        visited->SetNodeName(list[position].c_str());
        ++position;
        return true;
    });
}
