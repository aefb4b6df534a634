#pragma once

#include <string>

#include "log_sys.h"
#include "names_result.h"

namespace names_tool {

// An entry of the host's system log that tells what a command did with
// `path`, the path exactly as the file dialog gave it.
struct NamesReport {
    DWORD type = SYSLOG_INFO;
    std::string text;
};

NamesReport ReportOf(const std::string& path, const SaveResult& result);
NamesReport ReportOf(const std::string& path, const LoadResult& result);

}  // namespace names_tool
