#include <cstring>

#include "names_utility.h"
#include "scene_order.h"
#include "tool_log.h"

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

bool NamesUtility::ApplyNames(SceneNode* node, const names_tool::NameList& list, std::uint32_t& position) {
    return VisitPreOrder(node, [&](SceneNode* visited) {
        if (position >= list.size()) {
            return false;
        }
        visited->SetNodeName(list[position]);
        ++position;
        return true;
    });
}
