#include <cstdio>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

namespace win32standin {

namespace {

std::vector<std::string>& ViolationList() {
    static std::vector<std::string> list;
    return list;
}

}  // namespace

namespace detail {

void ReportViolation(const std::string& what) {
    std::fprintf(stderr, "[win32 stand-in] refused: %s\n", what.c_str());
    ViolationList().push_back(what);
}

}  // namespace detail

const std::vector<std::string>& Violations() { return ViolationList(); }

void ClearViolations() { ViolationList().clear(); }

}  // namespace win32standin
