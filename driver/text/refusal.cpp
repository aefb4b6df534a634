#include "text/refusal.h"

#include <new>

namespace driver {

namespace {

struct RefusalRow {
    RefusalCode code;
    const char* name;
    int exitStatus;
    int httpStatus;
};

// One row a code, in the order of the enum.
constexpr RefusalRow kRefusals[] = {
    {RefusalCode::Usage, "usage", 2, 400},
    {RefusalCode::SelectionConflict, "selection-conflict", 2, 409},
    {RefusalCode::BadSession, "bad-session", 1, 400},
    {RefusalCode::BadScene, "bad-scene", 1, 422},
    {RefusalCode::FileMissing, "file-missing", 1, 404},
    {RefusalCode::NotWritable, "not-writable", 1, 409},
    {RefusalCode::WrongFormat, "wrong-format", 1, 400},
    {RefusalCode::OutsideReach, "outside-reach", 1, 403},
    {RefusalCode::FileClash, "file-clash", 1, 409},
    {RefusalCode::NotDone, "not-done", 1, 409},
    {RefusalCode::Unsaved, "unsaved", 1, 409},
    {RefusalCode::NoOutput, "no-output", 1, 409},
    {RefusalCode::NoPort, "no-port", 1, 503},
    {RefusalCode::TooLarge, "too-large", 1, 413},
    {RefusalCode::NotFound, "not-found", 1, 404},
    {RefusalCode::Forbidden, "forbidden", 1, 403},
    {RefusalCode::NoTool, "no-tool", 1, 500},
    {RefusalCode::OutOfMemory, "out-of-memory", 1, 503},
    // As a process that SIGPIPE ends (128 + 13), which it stands for where
    // the signal is ignored; the reader, having gone, hears nothing.
    {RefusalCode::ReaderGone, "reader-gone", 141, 500},
    {RefusalCode::Failed, "failed", 1, 500},
};

constexpr bool InEnumOrder() {
    int row = 0;
    for (const RefusalRow& refusal : kRefusals) {
        if (static_cast<int>(refusal.code) != row++) {
            return false;
        }
    }
    return row == static_cast<int>(RefusalCode::Failed) + 1;
}
static_assert(InEnumOrder(), "one row a code, in the order of the enum, Failed last");

const RefusalRow& RowOf(RefusalCode code) { return kRefusals[static_cast<int>(code)]; }

}  // namespace

const char* CodeName(RefusalCode code) { return RowOf(code).name; }
int ExitStatusOf(RefusalCode code) { return RowOf(code).exitStatus; }
int HttpStatusOf(RefusalCode code) { return RowOf(code).httpStatus; }

Refusal RefusalOf(const std::exception& error) {
    if (const auto* coded = dynamic_cast<const CodedError*>(&error)) {
        return coded->AsRefusal();
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return {RefusalCode::OutOfMemory, "out of memory"};
    }
    return {RefusalCode::Failed, error.what()};
}

}  // namespace driver
