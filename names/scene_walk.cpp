#include "names_utility.h"
#include "scene_order.h"

namespace {

// The one walk that collects names, into a list of any kind.
template <typename Add>
void Collect(SceneNode* node, Add add) {
    VisitPreOrder(node, [&add](SceneNode* visited) {
        add(visited->NodeName());
        return true;
    });
}

}  // namespace

void NamesUtility::CollectNames(SceneNode* node, std::vector<std::string>& list) {
    Collect(node, [&list](const char* name) { list.emplace_back(name); });
}

void NamesUtility::CollectNames(SceneNode* node, names_file::NameLines& lines) {
    Collect(node, [&lines](const char* name) { lines.Append(name); });
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
