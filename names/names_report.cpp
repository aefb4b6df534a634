#include "names_report.h"

namespace names_tool {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string NamesCount(std::size_t count) { return std::to_string(count) + (count == 1 ? " name" : " names"); }

}  // namespace

NamesReport ReportOf(const std::string& path, const SaveResult& result) {
    const std::string saved = "saved " + NamesCount(result.names) + " to " + Quoted(path) + ": ";
    const std::string notSaved = "names not saved to " + Quoted(path) + ": ";
    const std::string why = " (" + result.reason + ")";
    switch (result.outcome) {
        case SaveOutcome::Replaced:
            return {SYSLOG_INFO, saved + "replaced"};
        case SaveOutcome::Written:
            return {SYSLOG_INFO, saved + "written"};
        case SaveOutcome::WrittenInPlace:
            return {SYSLOG_INFO, saved + "written in place" + why};
        case SaveOutcome::NotReplaced:
            return {SYSLOG_ERROR, notSaved + "not replaced" + why};
        case SaveOutcome::WrittenInPart:
            return {SYSLOG_ERROR, notSaved + "written only in part" + why};
        case SaveOutcome::NotWritten:
            break;
    }
    return {SYSLOG_ERROR, notSaved + "not written" + why};
}

NamesReport ReportOf(const std::string& path, const LoadResult& result) {
    if (result.loaded) {
        return {SYSLOG_INFO, "loaded " + NamesCount(result.names) + " from " + Quoted(path)};
    }
    return {SYSLOG_ERROR, "names not loaded from " + Quoted(path) + ": " + result.reason};
}

}  // namespace names_tool
