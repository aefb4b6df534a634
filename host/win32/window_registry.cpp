#include <algorithm>
#include <memory>
#include <unordered_set>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

namespace win32standin {

namespace {

struct Registry {
    std::vector<std::unique_ptr<StandinWindow>>
        all;  // destroyed ones too, until forgotten: stale handles stay recognisable
    std::unordered_set<const StandinWindow*> known;
    std::vector<StandinWindow*> live;  // creation order
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
    registry.all.push_back(std::make_unique<StandinWindow>());
    StandinWindow* window = registry.all.back().get();
    registry.known.insert(window);
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
}

}  // namespace detail

std::size_t LiveWindowCount() { return Windows().live.size(); }

void ForgetDestroyedWindows() {
    Registry& registry = Windows();
    const auto gone =
        std::stable_partition(registry.all.begin(), registry.all.end(),
                              [](const std::unique_ptr<StandinWindow>& window) { return !window->destroyed; });
    for (auto window = gone; window != registry.all.end(); ++window) {
        registry.known.erase(window->get());
    }
    registry.all.erase(gone, registry.all.end());
}

std::vector<HWND> LiveWindows() { return {Windows().live.begin(), Windows().live.end()}; }

}  // namespace win32standin
