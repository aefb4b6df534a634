// Memory shared with a forked child: anonymous pages, zeroed by the system.
#include <sys/mman.h>

#include "handed_temporaries.h"

namespace safewrite::detail {

void* SharedPages(std::size_t size) {
    void* pages = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

void FreeSharedPages(void* pages, std::size_t size) {
    if (pages != nullptr) {
        ::munmap(pages, size);
    }
}

}  // namespace safewrite::detail
