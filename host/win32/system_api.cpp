#include <map>
#include <memory>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

using namespace win32standin;

namespace {

int g_initCommonControlsCalls = 0;

// The system cursors, one handle per id for the process's lifetime.
std::map<int, std::unique_ptr<StandinCursor>>& Cursors() {
    static std::map<int, std::unique_ptr<StandinCursor>> cursors;
    return cursors;
}

bool IsSystemCursor(int id) {
    switch (id) {
        case 32512:  // IDC_ARROW
        case 32513:  // IDC_IBEAM
        case 32514:  // IDC_WAIT
        case 32515:  // IDC_CROSS
        case 32516:  // IDC_UPARROW
        case 32640:  // IDC_SIZE
        case 32641:  // IDC_ICON
        case 32642:  // IDC_SIZENWSE
        case 32643:  // IDC_SIZENESW
        case 32644:  // IDC_SIZEWE
        case 32645:  // IDC_SIZENS
        case 32646:  // IDC_SIZEALL
        case 32648:  // IDC_NO
        case 32649:  // IDC_HAND
        case 32650:  // IDC_APPSTARTING
        case 32651:  // IDC_HELP
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    return detail::Guarded("LoadCursorA", HCURSOR{nullptr}, [&]() -> HCURSOR {
        if (module != nullptr) {
            detail::ReportViolation("LoadCursorA: modules carry no cursors here; system cursors need a null module");
            return nullptr;
        }
        if (!IS_INTRESOURCE(name)) {
            detail::ReportViolation("LoadCursorA: a system cursor is named by its number");
            return nullptr;
        }
        const int id = static_cast<int>(reinterpret_cast<UINT_PTR>(name));
        if (!IsSystemCursor(id)) {
            detail::ReportViolation("LoadCursorA: " + std::to_string(id) + " is no system cursor");
            return nullptr;
        }
        std::unique_ptr<StandinCursor>& cursor = Cursors()[id];
        if (!cursor) {
            cursor = std::make_unique<StandinCursor>();
            cursor->id = id;
        }
        return cursor.get();
    });
}

extern "C" void InitCommonControls(void) { ++g_initCommonControlsCalls; }

namespace win32standin {

int InitCommonControlsCalls() { return g_initCommonControlsCalls; }

int SystemCursorId(HCURSOR cursor) {
    for (const auto& [id, known] : Cursors()) {
        if (known.get() == cursor) {
            return id;
        }
    }
    return 0;
}

}  // namespace win32standin
