#include "scene/svg/svg_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace driver::svg {

std::array<View, 2> ViewsFor(UpAxis up) {
    if (up == UpAxis::Y) {
        return {View{"plan, seen from +Y (X right, Z down)", 0, 2, -1},
                View{"front, seen from +Z (X right, Y up)", 0, 1, 1}};
    }
    return {View{"plan, seen from +Z (X right, Y up)", 0, 1, 1}, View{"front, seen from -Y (X right, Z up)", 0, 2, 1}};
}

Frame FitFrame(const SceneSnapshot& before, const SceneSnapshot& after, const View& view, double left, double top,
               double size) {
    double minH = INFINITY, maxH = -INFINITY, minV = INFINITY, maxV = -INFINITY;
    for (const SceneSnapshot* snapshot : {&before, &after}) {
        for (const NodeState& node : *snapshot) {
            for (const Point3& p : {node.Position(), node.objectWorld.GetTrans()}) {
                const double h = p[view.horizontal];
                const double v = view.verticalSign * double(p[view.vertical]);
                minH = std::min(minH, h);
                maxH = std::max(maxH, h);
                minV = std::min(minV, v);
                maxV = std::max(maxV, v);
            }
        }
    }
    if (!(minH <= maxH) || !(minV <= maxV)) {
        minH = minV = -1;
        maxH = maxV = 1;
    }
    double extent = std::max(maxH - minH, maxV - minV);
    if (!(extent > 0)) {
        extent = 1;
    }
    const double padding = extent * 0.15;
    Frame frame;
    frame.view = view;
    frame.left = left;
    frame.top = top;
    frame.size = size;
    frame.minH = (minH + maxH) / 2 - extent / 2 - padding;
    frame.minV = (minV + maxV) / 2 - extent / 2 - padding;
    frame.scale = size / (extent + 2 * padding);
    return frame;
}

ScaleBar ChooseScaleBar(const Frame& frame) {
    const double wanted = frame.size / 5 / frame.scale;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    double length = power;
    for (const double step : {2.0, 5.0}) {
        if (power * step <= wanted) {
            length = power * step;
        }
    }
    char text[48];
    std::snprintf(text, sizeof text, "%g %s", length, length == 1 ? "unit" : "units");
    return {length * frame.scale, text};
}

}  // namespace driver::svg
