#include "standin/ui_reports.h"

#include <cstdio>

#include "standin/standin_interface.h"

namespace standin {

namespace {

std::vector<std::string>& Unattached() {
    static std::vector<std::string> list;
    return list;
}

}  // namespace

void ReportUiViolation(const std::string& what) {
    std::fprintf(stderr, "[stand-in host] refused: %s\n", what.c_str());
    if (StandinInterface* host = StandinInterface::Current()) {
        host->Scene().ReportViolation(what);
        return;
    }
    Unattached().push_back(what);
}

const std::vector<std::string>& UnattachedViolations() { return Unattached(); }

void ClearUnattachedViolations() { Unattached().clear(); }

void RecordUiCall(HostCall call) {
    if (StandinInterface* host = StandinInterface::Current()) {
        host->Journal().Record(std::move(call));
    }
}

}  // namespace standin
