#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_map>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

namespace win32standin {

namespace {

// The live windows, and the last ones destroyed, so that a stale handle
// to one is recognised as such; older destroyed ones are freed, so that
// what the registry holds follows the windows that are open, not every
// window a long session ever opened.
struct Registry {
    static constexpr std::size_t kDestroyedKept = 4096;
    std::unordered_map<const StandinWindow*, std::unique_ptr<StandinWindow>> known;
    std::deque<const StandinWindow*> destroyed;  // oldest first
    std::vector<StandinWindow*> live;            // creation order

    void Forget(std::size_t keep) {
        while (destroyed.size() > keep) {
            known.erase(destroyed.front());
            destroyed.pop_front();
        }
    }
};

Registry& Windows() {
    static Registry registry;
    return registry;
}

}  // namespace

namespace detail {

bool IsLiveWindow(HWND window) {
    if (window == nullptr || Windows().known.count(window) == 0) {
        return false;
    }
    return !window->destroyed;
}

StandinWindow* LiveWindow(HWND window, const char* caller) {
    if (window == nullptr) {
        ReportViolation(std::string(caller) + ": null window handle");
        return nullptr;
    }
    if (Windows().known.count(window) == 0) {
        ReportViolation(std::string(caller) + ": not a window handle");
        return nullptr;
    }
    if (window->destroyed) {
        ReportViolation(std::string(caller) + ": window already destroyed (class " + window->className + ", id " +
                        std::to_string(window->id) + ")");
        return nullptr;
    }
    return window;
}

StandinWindow* NewWindow(HWND parent) {
    Registry& registry = Windows();
    auto made = std::make_unique<StandinWindow>();
    StandinWindow* window = made.get();
    registry.known.emplace(window, std::move(made));
    registry.live.push_back(window);
    window->parent = parent;
    if (parent != nullptr) {
        parent->children.push_back(window);
    }
    return window;
}

void RetireWindow(StandinWindow* window) {
    Registry& registry = Windows();
    if (window->parent != nullptr && !window->parent->destroyed) {
        auto& siblings = window->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    }
    registry.live.erase(std::remove(registry.live.begin(), registry.live.end(), window), registry.live.end());
    window->destroyed = true;
    window->children.clear();
    window->dialogProc = nullptr;
    registry.destroyed.push_back(window);
    registry.Forget(Registry::kDestroyedKept);
}

}  // namespace detail

std::size_t LiveWindowCount() { return Windows().live.size(); }

void ForgetDestroyedWindows() { Windows().Forget(0); }

std::vector<HWND> LiveWindows() { return {Windows().live.begin(), Windows().live.end()}; }

}  // namespace win32standin
