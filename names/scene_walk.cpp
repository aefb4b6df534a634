#include <cstring>

#include "names_utility.h"
#include "scene_order.h"
#include "tool_log.h"

namespace {

// The one walk that collects names, into a list of any kind.
template <typename Add>
void Collect(SceneNode* node, Add add) {
    VisitPreOrder(node, [&add](SceneNode* visited) {
        add(visited->NodeName());
        return true;
    });
}

// The one walk that gives names, from a list of any kind.
template <typename List, typename Text>
bool Apply(SceneNode* node, const List& list, std::uint32_t& position, Text text) {
    return VisitPreOrder(node, [&](SceneNode* visited) {
        if (position >= list.size()) {
            return false;
        }
        visited->SetNodeName(text(list[position]));
        ++position;
        return true;
    });
}

}  // namespace

void NamesUtility::CollectNames(SceneNode* node, std::vector<std::string>& list) {
    Collect(node, [&list](const char* name) { list.emplace_back(name); });
}

bool NamesUtility::CollectNames(SceneNode* node, names_tool::NameLines& lines, std::string& refusal) {
    return VisitPreOrder(node, [&](SceneNode* visited) {
        const char* name = visited->NodeName();
        const std::string fault = names_tool::LineFault(name, std::strlen(name), lines.size() == 0);
        if (!fault.empty()) {
            refusal = "node " + std::to_string(lines.size()) + " " + QuotedForLog(name) + ": " + fault;
            return false;
        }
        lines.Append(name);
        return true;
    });
}

bool NamesUtility::ApplyNames(SceneNode* node, const std::vector<std::string>& list, std::uint32_t& position) {
    return Apply(node, list, position, [](const std::string& name) { return name.c_str(); });
}

bool NamesUtility::ApplyNames(SceneNode* node, const names_tool::NameList& list, std::uint32_t& position) {
    return Apply(node, list, position, [](const char* name) { return name; });
}
