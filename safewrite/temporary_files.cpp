#include "temporary_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>

#include "file_calls.h"
#include "handed_temporaries.h"
#include "interrupts.h"

namespace safewrite {

namespace {

// Enough for every file of the largest run at once; a save beyond it fails
// cleanly.
constexpr std::size_t kTrackedSlots = 4096;
std::atomic<const char*> tracked[kTrackedSlots];
std::atomic<std::size_t> trackedCount{0};

std::string Prefix(const char* tag) { return std::string(".~") + tag + "-"; }

bool AllOf(const std::string& text, std::size_t from, std::size_t to, const char* allowed) {
    if (from >= to) {
        return false;
    }
    for (std::size_t i = from; i < to; ++i) {
        if (std::char_traits<char>::find(allowed, std::char_traits<char>::length(allowed), text[i]) == nullptr) {
            return false;
        }
    }
    return true;
}

// The process number in a name that TemporaryName made; 0 for any other.
unsigned long WriterOf(const std::string& name, const std::string& prefix) {
    const std::size_t dash = name.find('-', prefix.size());
    const std::size_t suffix = name.size() - 4;
    if (name.size() < prefix.size() + 15 || dash == std::string::npos || name.compare(suffix, 4, ".tmp") != 0 ||
        suffix - dash != 9 || !AllOf(name, prefix.size(), dash, "0123456789") ||
        !AllOf(name, dash + 1, suffix, "0123456789abcdef") || dash - prefix.size() > 9) {
        return 0;
    }
    return std::stoul(name.substr(prefix.size(), dash - prefix.size()));
}

std::uint32_t NextRandom() {
    static std::mutex lock;
    static std::mt19937 numbers = [] {
        auto seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            seed ^= std::random_device{}();
        } catch (...) {
            // The clock alone still differs between runs.
        }
        return std::mt19937(seed);
    }();
    const std::lock_guard<std::mutex> held(lock);
    return static_cast<std::uint32_t>(numbers());
}

}  // namespace

std::string TemporaryName(const std::string& folder, const char* tag) {
    char number[32];
    std::snprintf(number, sizeof number, "%lu-%08x.tmp", ProcessId(), static_cast<unsigned>(NextRandom()));
    return folder + Prefix(tag) + number;
}

void RemoveStaleTemporaries(const std::string& folder, const char* tag) {
    static std::mutex lock;
    static std::set<std::string> looked;
    {
        const std::lock_guard<std::mutex> held(lock);
        if (!looked.insert(folder + '\n' + tag).second) {
            return;
        }
    }
    const std::string prefix = Prefix(tag);
    for (const std::string& name : NamesInFolder(folder, prefix)) {
        // What decides is that no writer holds it: the process number in
        // its name may be a live writer's in another PID namespace or on
        // another machine, and a writer killed elsewhere may have had the
        // number of a process that lives here.
        if (const unsigned long writer = WriterOf(name, prefix); writer != 0) {
            RemoveUnlessHeld(folder + name, writer);
        }
    }
}

namespace detail {

bool TrackHere(const std::string& path) {
    for (std::atomic<const char*>& slot : tracked) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path.c_str())) {
            if (trackedCount++ == 0) {
                FirstTracked();
            }
            return true;
        }
    }
    return false;
}

void UntrackHere(const std::string& path) {
    for (std::atomic<const char*>& slot : tracked) {
        const char* mine = path.c_str();
        if (slot.compare_exchange_strong(mine, nullptr)) {
            if (--trackedCount == 0) {
                NoneTracked();
            }
            return;
        }
    }
}

}  // namespace detail

bool Track(const std::string& path) {
    if (!detail::TrackHere(path)) {
        return false;
    }
    if (!detail::Share(path.c_str())) {
        detail::UntrackHere(path);
        return false;
    }
    return true;
}

void Untrack(const std::string& path) {
    detail::UntrackHere(path);
    detail::Unshare(path.c_str());
}

// The paths stay valid while tracked: their owners untrack them first.
void RemoveTrackedTemporaries() {
    for (std::atomic<const char*>& slot : tracked) {
        if (const char* path = slot.load()) {
            RemoveNow(path);
        }
    }
    detail::RemoveShared();
}

}  // namespace safewrite
