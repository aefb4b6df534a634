#pragma once

#include <map>
#include <utility>
#include <vector>

#include "host_api.h"
#include "viewport.h"
#include "win32/win_api.h"

namespace standin {

class HostJournal;
class StandinNode;

// The stand-in host's one viewport. What lies under a screen point is set
// by tests and the driver: a world point (as if the cursor snapped onto a
// vertex there) and the nodes, nearest to the viewer first. A screen point
// without a world point of its own lies on the construction plane, the
// world XY plane at one unit per pixel. The tools' calls are recorded in
// the journal.
class HOST_API StandinViewport final : public Viewport {
public:
    explicit StandinViewport(HostJournal& journal);
    StandinViewport(const StandinViewport&) = delete;
    StandinViewport& operator=(const StandinViewport&) = delete;

    // Viewport
    Point3 SnapWorldPoint(IPoint2 in, IPoint2 out, const NodeMatrix* plane, unsigned flags) override;
    SceneNode* ClosestHitNode() override;

    // The window handle that the host passes with this viewport. It is a
    // token that only this host interprets; nothing may draw into it.
    HWND Window() const;

    // Set-up by tests and the driver; no journal entry.
    void SetWorldPointAt(IPoint2 screen, const Point3& world);
    // A screen point of its own for `world`, not used before.
    IPoint2 PlaceWorldPoint(const Point3& world);
    // Puts `node` under `screen`, behind the nodes already there.
    void PlaceNodeAt(IPoint2 screen, StandinNode& node);
    void ClearNodes();

    // The world point under `screen`, without snapping or recording.
    Point3 WorldPointAt(IPoint2 screen) const;
    // The nodes under `screen`, nearest first.
    std::vector<StandinNode*> NodesAt(IPoint2 screen) const;
    // The host's hit test records the node it found for ClosestHitNode.
    void SetClosestHit(StandinNode* node) { closestHit_ = node; }

private:
    using Key = std::pair<int, int>;
    static Key KeyOf(IPoint2 p) { return {p.x, p.y}; }

    HostJournal& journal_;
    std::map<Key, Point3> worldPoints_;
    std::map<Key, std::vector<StandinNode*>> nodes_;
    StandinNode* closestHit_ = nullptr;
    int nextPlaced_ = 0;
};

}  // namespace standin
