#pragma once

#include "node_matrix.h"
#include "point3.h"
#include "win32/win_api.h"

class SceneNode;

// A screen point in a viewport, in pixels.
struct IPoint2 {
    int x = 0;
    int y = 0;
};

// A viewport of the host. Valid only during the host call that hands it out.
class Viewport {
public:
    // The world point under screen point `in`, snapped as the host's snap
    // settings say. `plane` null means the construction plane; flags 0.
    virtual Point3 SnapWorldPoint(IPoint2 in, IPoint2 out, const NodeMatrix* plane, unsigned flags) = 0;
    // The node closest to the viewer under the last hit test, or null.
    virtual SceneNode* ClosestHitNode() = 0;

protected:
    ~Viewport() = default;
};
