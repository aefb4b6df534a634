#include "refusal_log.h"

#include "tool_log.h"

namespace pivot_tool {

void LogRefusal(Interface& ip, SceneNode& node, const char* edit, const std::string& reason) {
    const std::string text = QuotedForLog(node.NodeName()) + " cannot take " + edit + ": " + reason;
    LogToolEntry(&ip, SYSLOG_WARN, text.c_str());
}

}  // namespace pivot_tool
