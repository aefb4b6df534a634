#include "handed_temporaries.h"

#include <atomic>
#include <cstring>
#include <new>

#include "file_calls.h"
#include "interrupts.h"
#include "temporary_files.h"

namespace safewrite {

namespace {

// Enough for every file of the largest run; a longer path is not handed over.
constexpr std::size_t kSlots = 1024;
constexpr std::size_t kPathBytes = 4096;
enum Slot : int { kFree = 0, kFilling = 1, kNamed = 2 };
static_assert(std::atomic<int>::is_always_lock_free, "the table is read by a signal handler and by another process");

// The states apart from the paths, so that a look at them touches one page.
struct Table {
    std::atomic<int> state[kSlots];
    char paths[kSlots][kPathBytes];
};

std::atomic<Table*> shared{nullptr};

// Whether `path`, as a child wrote it, ends with a name that TemporaryName
// makes (".~TAG-PID-8 hex digits.tmp"): a child whose memory a library
// spoilt names nothing else to remove.
bool NamedAsTemporary(const char* path, std::size_t length) {
    std::size_t name = length;
    while (name > 0 && path[name - 1] != '/' && path[name - 1] != '\\') {
        --name;
    }
    constexpr std::size_t kTail = 13;  // "-" + 8 hex digits + ".tmp"
    if (length - name < 2 + kTail || path[name] != '.' || path[name + 1] != '~' ||
        std::strcmp(path + length - 4, ".tmp") != 0 || path[length - kTail] != '-') {
        return false;
    }
    for (std::size_t i = length - kTail + 1; i < length - 4; ++i) {
        const char c = path[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// The named path of slot `i`, or null.
const char* NamedPath(Table& table, std::size_t i) {
    if (table.state[i].load() != kNamed) {
        return nullptr;
    }
    const char* path = table.paths[i];
    const void* end = std::memchr(path, '\0', kPathBytes);
    return end != nullptr && NamedAsTemporary(path, static_cast<std::size_t>(static_cast<const char*>(end) - path))
               ? path
               : nullptr;
}

}  // namespace

ChildTemporaries::ChildTemporaries() {
    void* pages = detail::SharedPages(sizeof(Table));
    if (pages == nullptr) {
        throw std::bad_alloc();
    }
    // The pages are zeroed: every slot is free, and nothing need be written.
    Table* table = new (pages) Table;
    Table* none = nullptr;
    if (!shared.compare_exchange_strong(none, table)) {
        detail::FreeSharedPages(pages, sizeof(Table));
        throw std::bad_alloc();
    }
}

ChildTemporaries::~ChildTemporaries() {
    const InterruptsHeld held;
    detail::RemoveShared();
    Table* table = shared.exchange(nullptr);
    detail::FreeSharedPages(table, sizeof(Table));
}

bool HandOver(const std::string& path) {
    if (!detail::IsShared(path.c_str())) {
        return false;
    }
    detail::UntrackHere(path);
    return true;
}

bool TakeOver(const std::string& path) {
    if (!detail::IsShared(path.c_str()) || !NamedAsTemporary(path.c_str(), path.size()) || !detail::TrackHere(path)) {
        return false;
    }
    detail::Unshare(path.c_str());
    return true;
}

namespace detail {

bool Share(const char* path) {
    Table* table = shared.load();
    if (table == nullptr) {
        return true;
    }
    const std::size_t length = std::strlen(path);
    if (length >= kPathBytes) {
        return false;
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        int free = kFree;
        if (table->state[i].compare_exchange_strong(free, kFilling)) {
            std::memcpy(table->paths[i], path, length + 1);
            table->state[i].store(kNamed);
            return true;
        }
    }
    return false;
}

void Unshare(const char* path) {
    Table* table = shared.load();
    for (std::size_t i = 0; table != nullptr && i < kSlots; ++i) {
        if (table->state[i].load() == kNamed && std::strncmp(table->paths[i], path, kPathBytes) == 0) {
            int named = kNamed;
            if (table->state[i].compare_exchange_strong(named, kFilling)) {
                table->state[i].store(kFree);
                return;
            }
        }
    }
}

bool IsShared(const char* path) {
    Table* table = shared.load();
    for (std::size_t i = 0; table != nullptr && i < kSlots; ++i) {
        if (table->state[i].load() == kNamed && std::strncmp(table->paths[i], path, kPathBytes) == 0) {
            return true;
        }
    }
    return false;
}

void RemoveShared() {
    Table* table = shared.load();
    for (std::size_t i = 0; table != nullptr && i < kSlots; ++i) {
        if (const char* path = NamedPath(*table, i)) {
            RemoveNow(path);
        }
    }
}

}  // namespace detail

}  // namespace safewrite
