// No process is forked on Windows: the pages are this process's own,
// zeroed by the system.
#include <windows.h>

#include "handed_temporaries.h"

namespace safewrite::detail {

void* SharedPages(std::size_t size) { return ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }

void FreeSharedPages(void* pages, std::size_t) {
    if (pages != nullptr) {
        ::VirtualFree(pages, 0, MEM_RELEASE);
    }
}

}  // namespace safewrite::detail
