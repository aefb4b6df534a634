#include "refusal_log.h"

#include "log_sys.h"
#include "module_state.h"
#include "shell_resource.h"

namespace tarvel {

void LogRefusal(Interface& ip, SceneNode& node, const char* edit, const std::string& reason) {
    const std::string text = std::string("\"") + node.NodeName() + "\" cannot take " + edit + ": " + reason;
    LogSys* log = ip.Log();
    if (log == nullptr) {
        return;
    }
    const char* title = GetString(IDS_LIBDESCRIPTION);
    log->LogEntry(SYSLOG_WARN, FALSE, title != nullptr ? title : "", text.c_str());
}

}  // namespace tarvel
