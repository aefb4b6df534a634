#include "standin/standin_viewport.h"

#include <string>

#include "standin/host_journal.h"
#include "standin/standin_scene.h"

namespace standin {

namespace {

// The screen row of the points that PlaceWorldPoint hands out: above the
// screen, a row no window has; tests that lay out points keep off it.
constexpr int kOffScreenRow = -1000;

std::string PointText(IPoint2 p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

}  // namespace

StandinViewport::StandinViewport(HostJournal& journal) : journal_(journal) {}

Point3 StandinViewport::SnapWorldPoint(IPoint2 in, IPoint2 out, const NodeMatrix* plane, unsigned flags) {
    HostCall call{"SnapWorldPoint"};
    call.index = static_cast<int>(flags);
    call.text = "in=" + PointText(in) + ", out=" + PointText(out) + (plane == nullptr ? ", no plane" : ", plane");
    journal_.Record(std::move(call));
    return WorldPointAt(in);
}

SceneNode* StandinViewport::ClosestHitNode() {
    HostCall call{"ClosestHitNode"};
    call.node = closestHit_;
    journal_.Record(std::move(call));
    return closestHit_;
}

HWND StandinViewport::Window() const { return reinterpret_cast<HWND>(const_cast<StandinViewport*>(this)); }

void StandinViewport::SetWorldPointAt(IPoint2 screen, const Point3& world) { worldPoints_[KeyOf(screen)] = world; }

IPoint2 StandinViewport::PlaceWorldPoint(const Point3& world) {
    const IPoint2 screen{nextPlaced_++, kOffScreenRow};
    SetWorldPointAt(screen, world);
    return screen;
}

void StandinViewport::PlaceNodeAt(IPoint2 screen, StandinNode& node) { nodes_[KeyOf(screen)].push_back(&node); }

void StandinViewport::ClearNodes() {
    nodes_.clear();
    closestHit_ = nullptr;
}

Point3 StandinViewport::WorldPointAt(IPoint2 screen) const {
    const auto found = worldPoints_.find(KeyOf(screen));
    if (found != worldPoints_.end()) {
        return found->second;
    }
    return {static_cast<float>(screen.x), static_cast<float>(screen.y), 0.0f};
}

std::vector<StandinNode*> StandinViewport::NodesAt(IPoint2 screen) const {
    const auto found = nodes_.find(KeyOf(screen));
    return found != nodes_.end() ? found->second : std::vector<StandinNode*>{};
}

}  // namespace standin
