#pragma once

#include <array>
#include <string>

#include "point3.h"
#include "scene/node_state.h"
#include "scene/up_axis.h"

namespace driver::svg {

// A view projects world points onto two world axes: `horizontal` to the
// right, `vertical` up the page (`verticalSign` 1) or down it (-1).
struct View {
    std::string title;  // what the view shows, as its heading says
    int horizontal = 0;
    int vertical = 1;
    double verticalSign = 1;
};

// The plan, seen from above, and the front elevation of a scene whose up
// axis is `up`; each keeps the world right-handed on the page.
std::array<View, 2> ViewsFor(UpAxis up);

// Where a view of the scene lies on the page and at what scale: one square
// panel, the same for before and after, that holds every pivot and object
// of both snapshots with room around them. Computed in double precision,
// so that any finite single-precision scene fits.
struct Frame {
    View view;
    double left = 0, top = 0, size = 0;  // the panel on the page
    double minH = 0, minV = 0, scale = 1;

    double X(const Point3& p) const { return left + (double(p[view.horizontal]) - minH) * scale; }
    double Y(const Point3& p) const {
        return top + size - (view.verticalSign * double(p[view.vertical]) - minV) * scale;
    }
    // The page offset of a world direction, `length` long on the page.
    double DX(const Point3& direction, double length) const { return double(direction[view.horizontal]) * length; }
    double DY(const Point3& direction, double length) const {
        return -view.verticalSign * double(direction[view.vertical]) * length;
    }
};

Frame FitFrame(const SceneSnapshot& before, const SceneSnapshot& after, const View& view, double left, double top,
               double size);

// A bar of a round length in scene units (1, 2 or 5 times a power of ten)
// about a fifth of a panel long.
struct ScaleBar {
    double pixels = 0;
    std::string text;  // "2 units"
};
ScaleBar ChooseScaleBar(const Frame& frame);

}  // namespace driver::svg
