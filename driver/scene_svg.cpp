#include "scene_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

namespace driver {

namespace {

constexpr double kPanel = 420;   // size of one view, in picture units
constexpr double kMargin = 36;
constexpr double kTitle = 28;

// A view projects world points onto two of the axes.
struct View {
    const char* title;
    int horizontal;  // world axis drawn to the right
    int vertical;    // world axis drawn upwards
};

constexpr View kViews[] = {{"top (X right, Y up)", 0, 1}, {"front (X right, Z up)", 0, 2}};

struct Frame {
    double minH = 0, minV = 0, scale = 1, left = 0, top = 0;

    double X(const Point3& p, const View& view) const { return left + (p[view.horizontal] - minH) * scale; }
    double Y(const Point3& p, const View& view) const { return top + kPanel - (p[view.vertical] - minV) * scale; }
};

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += (byte < 0x20 || byte >= 0x80) ? '?' : c;
        }
    }
    return out;
}

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The extent of every pivot and object of both snapshots in one view.
Frame FitFrame(const SceneSnapshot& before, const SceneSnapshot& after, const View& view, double left, double top,
               double& tripod) {
    double minH = INFINITY, maxH = -INFINITY, minV = INFINITY, maxV = -INFINITY;
    for (const SceneSnapshot* snapshot : {&before, &after}) {
        for (const NodeView& node : snapshot->nodes) {
            for (const Point3& p : {node.Position(), node.objectWorld.GetTrans()}) {
                minH = std::min(minH, double(p[view.horizontal]));
                maxH = std::max(maxH, double(p[view.horizontal]));
                minV = std::min(minV, double(p[view.vertical]));
                maxV = std::max(maxV, double(p[view.vertical]));
            }
        }
    }
    if (!std::isfinite(minH)) {
        minH = minV = -1;
        maxH = maxV = 1;
    }
    const double extent = std::max({maxH - minH, maxV - minV, 1.0});
    tripod = extent * 0.08;
    const double padding = extent * 0.12;
    Frame frame;
    frame.minH = (minH + maxH) / 2 - extent / 2 - padding;
    frame.minV = (minV + maxV) / 2 - extent / 2 - padding;
    frame.scale = kPanel / (extent + 2 * padding);
    frame.left = left;
    frame.top = top;
    return frame;
}

void DrawPanel(std::ostringstream& svg, const SceneSnapshot& snapshot, const std::set<std::size_t>& changed,
               const View& view, const Frame& frame, double tripod, const std::string& title) {
    svg << "<rect x=\"" << Num(frame.left) << "\" y=\"" << Num(frame.top) << "\" width=\"" << Num(kPanel)
        << "\" height=\"" << Num(kPanel) << "\" fill=\"#fbfbf8\" stroke=\"#999\"/>\n";
    svg << "<text x=\"" << Num(frame.left) << "\" y=\"" << Num(frame.top - 8) << "\" font-size=\"14\">"
        << Escape(title) << "</text>\n";
    static const char* const colours[] = {"#d62728", "#2ca02c", "#1f77b4"};
    for (std::size_t i = 0; i < snapshot.nodes.size(); ++i) {
        const NodeView& node = snapshot.nodes[i];
        const Point3 pivot = node.Position();
        const Point3 object = node.objectWorld.GetTrans();
        const double px = frame.X(pivot, view), py = frame.Y(pivot, view);
        const double ox = frame.X(object, view), oy = frame.Y(object, view);
        if (std::hypot(px - ox, py - oy) > 1.0) {
            svg << "<line x1=\"" << Num(px) << "\" y1=\"" << Num(py) << "\" x2=\"" << Num(ox) << "\" y2=\""
                << Num(oy) << "\" stroke=\"#aaa\" stroke-dasharray=\"3,3\"/>\n";
        }
        svg << "<rect x=\"" << Num(ox - 5) << "\" y=\"" << Num(oy - 5)
            << "\" width=\"10\" height=\"10\" fill=\"#ccc\" stroke=\"#777\"/>\n";
        if (changed.count(i) != 0) {
            svg << "<circle cx=\"" << Num(px) << "\" cy=\"" << Num(py) << "\" r=\"" << Num(tripod * frame.scale * 1.2)
                << "\" fill=\"none\" stroke=\"#ff7f0e\" stroke-width=\"3\"/>\n";
        }
        for (int axis = 0; axis < 3; ++axis) {
            const Point3 tip = pivot + node.Direction(axis) * static_cast<float>(tripod);
            svg << "<line x1=\"" << Num(px) << "\" y1=\"" << Num(py) << "\" x2=\"" << Num(frame.X(tip, view))
                << "\" y2=\"" << Num(frame.Y(tip, view)) << "\" stroke=\"" << colours[axis]
                << "\" stroke-width=\"2\"/>\n";
        }
        svg << "<text x=\"" << Num(px + 6) << "\" y=\"" << Num(py - 6) << "\" font-size=\"11\""
            << (changed.count(i) != 0 ? " font-weight=\"bold\" fill=\"#b35900\"" : "") << ">" << Escape(node.name)
            << "</text>\n";
    }
}

}  // namespace

std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after) {
    std::set<std::size_t> changed;
    for (const NodeChange& change : CompareSnapshots(before, after)) {
        changed.insert(change.index);
    }
    const double width = 2 * kPanel + 3 * kMargin;
    const double height = 2 * (kPanel + kTitle) + 2 * kMargin;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(width) << "\" height=\"" << Num(height)
        << "\" font-family=\"sans-serif\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (int row = 0; row < 2; ++row) {
        const View& view = kViews[row];
        const double top = kMargin + kTitle + row * (kPanel + kTitle + kMargin);
        double tripod = 1;
        for (int column = 0; column < 2; ++column) {
            const double left = kMargin + column * (kPanel + kMargin);
            const Frame frame = FitFrame(before, after, view, left, top, tripod);
            const SceneSnapshot& snapshot = column == 0 ? before : after;
            const std::string title = std::string(column == 0 ? "before: " : "after: ") + view.title;
            DrawPanel(svg, snapshot, column == 0 ? std::set<std::size_t>() : changed, view, frame, tripod, title);
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace driver
