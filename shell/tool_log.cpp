#include "tool_log.h"

#include "module_state.h"
#include "shell_resource.h"

void LogToolEntry(Interface* ip, DWORD type, const char* text) {
    LogSys* log = ip != nullptr ? ip->Log() : nullptr;
    if (log == nullptr) {
        return;
    }
    const char* title = GetString(IDS_LIBDESCRIPTION);
    log->LogEntry(type, FALSE, title != nullptr ? title : "", text);
}
