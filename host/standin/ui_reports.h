#pragma once

#include <string>
#include <vector>

#include "host_api.h"
#include "standin/host_journal.h"

namespace standin {

// Where the stand-in host's controls report: a refused call goes to stderr
// and to the violations of the current interface's scene, or, while no
// interface exists, to UnattachedViolations().
void ReportUiViolation(const std::string& what);
HOST_API const std::vector<std::string>& UnattachedViolations();
HOST_API void ClearUnattachedViolations();

// Records a control call in the current interface's journal, if any.
void RecordUiCall(HostCall call);

}  // namespace standin
