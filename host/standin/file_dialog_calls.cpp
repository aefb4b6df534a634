#include "standin/file_dialog_calls.h"

#include <cstdio>

namespace standin {

std::string FileDialogErrorText(DWORD extendedError) {
    struct Known {
        DWORD code;
        const char* text;
    };
    static const Known kKnown[] = {
        {0x0001, "the tool's record has a wrong size (CDERR_STRUCTSIZE)"},
        {0x0002, "the dialog could not be set up (CDERR_INITIALIZATION)"},
        {0x3001, "the file name is not valid (FNERR_SUBCLASSFAILURE)"},
        {0x3002, "the file name is not valid (FNERR_INVALIDFILENAME)"},
        {0x3003, "the chosen path is longer than the tool's buffer (FNERR_BUFFERTOOSMALL)"},
        {0xFFFF, "the dialog could not be shown (CDERR_DIALOGFAILURE)"},
    };
    for (const Known& known : kKnown) {
        if (known.code == extendedError) {
            return known.text;
        }
    }
    char text[48];
    std::snprintf(text, sizeof text, "error 0x%04lx", static_cast<unsigned long>(extendedError));
    return text;
}

}  // namespace standin
