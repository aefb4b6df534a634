#include "scene/scene_svg.h"

#include "text/name_text.h"
#include "text/utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <utility>
#include <vector>

namespace driver {

namespace {

constexpr double kPanel = 440;  // size of one view, in picture units
constexpr double kMargin = 36;
constexpr double kTitle = 30;
constexpr double kLegend = 40;
constexpr double kLabelStep = 14;  // between stacked labels

const char* const kAxisColours[] = {"#d62728", "#2ca02c", "#1f77b4"};
const char* const kChanged = "#e66a00";

// A view projects world points onto two of the axes.
struct View {
    const char* title;
    int horizontal;  // world axis drawn to the right
    int vertical;    // world axis drawn upwards
};

constexpr View kViews[] = {{"top view (X right, Y up)", 0, 1}, {"front view (X right, Z up)", 0, 2}};

struct Frame {
    double minH = 0, minV = 0, scale = 1, left = 0, top = 0;
    double tripod = 1;  // length of a tripod's arms, in world units

    double X(const Point3& p, const View& view) const { return left + (p[view.horizontal] - minH) * scale; }
    double Y(const Point3& p, const View& view) const { return top + kPanel - (p[view.vertical] - minV) * scale; }
};

// XML text of a name: markup characters escaped, control bytes and (in a
// name that is not UTF-8) bytes from 0x80 up shown as '?'.
std::string Escape(const std::string& text) {
    const bool utf8 = IsValidUtf8(text);
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += (byte < 0x20 || (byte >= 0x80 && !utf8)) ? '?' : c;
        }
    }
    return out;
}

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// One frame for a view, the same for before and after: it holds every
// pivot and object of both snapshots, at one scale for both axes.
Frame FitFrame(const SceneSnapshot& before, const SceneSnapshot& after, const View& view) {
    double minH = INFINITY, maxH = -INFINITY, minV = INFINITY, maxV = -INFINITY;
    for (const SceneSnapshot* snapshot : {&before, &after}) {
        for (const NodeState& node : (*snapshot)) {
            for (const Point3& p : {node.Position(), node.objectWorld.GetTrans()}) {
                minH = std::min(minH, double(p[view.horizontal]));
                maxH = std::max(maxH, double(p[view.horizontal]));
                minV = std::min(minV, double(p[view.vertical]));
                maxV = std::max(maxV, double(p[view.vertical]));
            }
        }
    }
    if (!std::isfinite(minH) || !std::isfinite(maxH) || !std::isfinite(minV) || !std::isfinite(maxV)) {
        minH = minV = -1;
        maxH = maxV = 1;
    }
    const double extent = std::max({maxH - minH, maxV - minV, 1.0});
    const double padding = extent * 0.15;
    Frame frame;
    frame.tripod = extent * 0.07;
    frame.minH = (minH + maxH) / 2 - extent / 2 - padding;
    frame.minV = (minV + maxV) / 2 - extent / 2 - padding;
    frame.scale = kPanel / (extent + 2 * padding);
    return frame;
}

void Line(std::ostringstream& svg, double x1, double y1, double x2, double y2, const char* colour, double width,
          const char* extra = "") {
    svg << "<line x1=\"" << Num(x1) << "\" y1=\"" << Num(y1) << "\" x2=\"" << Num(x2) << "\" y2=\"" << Num(y2)
        << "\" stroke=\"" << colour << "\" stroke-width=\"" << Num(width) << "\"" << extra << "/>\n";
}

// Labels are drawn twice, first as a white halo, so that they stay
// legible over lines (renderers without paint-order draw it the same).
void Label(std::ostringstream& svg, double x, double y, const std::string& text, bool changed) {
    const std::string place = "x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"12\"" +
                              (changed ? " font-weight=\"bold\"" : "");
    svg << "<text " << place << " fill=\"white\" stroke=\"white\" stroke-width=\"3\">" << Escape(text)
        << "</text>\n";
    svg << "<text " << place << " fill=\"" << (changed ? kChanged : "#222") << "\">" << Escape(text) << "</text>\n";
}

// The boxes of the labels placed in a panel, filed by the cells of a grid
// they cover, so that a test for overlap looks only at the boxes near it.
// A box with a coordinate that is not finite overlaps nothing.
class PlacedLabels {
public:
    struct Box {
        double left, right, top, bottom;
    };

    explicit PlacedLabels(const Frame& frame)
        : firstColumn_(Column(frame.left)), lastColumn_(Column(frame.left + kPanel) + 1) {}

    bool Overlaps(const Box& box) const {
        bool found = false;
        ForEachCell(box, [&](std::int64_t cell) {
            const auto filed = cells_.find(cell);
            if (filed == cells_.end()) {
                return;
            }
            found = found || std::any_of(filed->second.begin(), filed->second.end(), [&](std::size_t i) {
                const Box& other = boxes_[i];
                return box.left < other.right && box.right > other.left && box.top < other.bottom &&
                       box.bottom > other.top;
            });
        });
        return found;
    }

    void Add(const Box& box) {
        ForEachCell(box, [&](std::int64_t cell) { cells_[cell].push_back(boxes_.size()); });
        boxes_.push_back(box);
    }

private:
    static constexpr double kCellWidth = 64;
    static constexpr double kCellHeight = 16;

    static std::int64_t Column(double x) { return static_cast<std::int64_t>(std::floor(x / kCellWidth)); }

    // Columns outside the panel fold into the first and last, so that a long
    // label covers only the panel's columns; folding keeps every pair of
    // overlapping boxes in a common cell.
    template <typename Visit>
    void ForEachCell(const Box& box, Visit visit) const {
        if (!std::isfinite(box.left) || !std::isfinite(box.right) || !std::isfinite(box.top) ||
            !std::isfinite(box.bottom)) {
            return;
        }
        const std::int64_t left = std::clamp(Column(box.left), firstColumn_, lastColumn_);
        const std::int64_t right = std::clamp(Column(box.right), firstColumn_, lastColumn_);
        const auto top = static_cast<std::int64_t>(std::floor(box.top / kCellHeight));
        const auto bottom = static_cast<std::int64_t>(std::floor(box.bottom / kCellHeight));
        const std::int64_t columns = lastColumn_ - firstColumn_ + 1;
        for (std::int64_t row = top; row <= bottom; ++row) {
            for (std::int64_t column = left; column <= right; ++column) {
                visit(row * columns + (column - firstColumn_));
            }
        }
    }

    std::int64_t firstColumn_, lastColumn_;
    std::vector<Box> boxes_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> cells_;
};

// `previous` is the snapshot before, for the after panel (its changed nodes
// get a dashed trail from where their pivot was), or null.
void DrawPanel(std::ostringstream& svg, const SceneSnapshot& snapshot, const SceneSnapshot* previous,
               const std::set<std::size_t>& changed, const View& view, const Frame& frame, const std::string& title) {
    svg << "<rect x=\"" << Num(frame.left) << "\" y=\"" << Num(frame.top) << "\" width=\"" << Num(kPanel)
        << "\" height=\"" << Num(kPanel) << "\" fill=\"#fbfbf8\" stroke=\"#999\"/>\n";
    svg << "<text x=\"" << Num(frame.left) << "\" y=\"" << Num(frame.top - 9) << "\" font-size=\"15\">"
        << Escape(title) << "</text>\n";
    // Labels of nodes whose pivots fall on the same spot are stacked.
    std::map<std::pair<long, long>, std::vector<std::size_t>> spots;
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const NodeState& node = snapshot[i];
        const Point3 pivot = node.Position();
        const Point3 object = node.objectWorld.GetTrans();
        const double px = frame.X(pivot, view), py = frame.Y(pivot, view);
        const double ox = frame.X(object, view), oy = frame.Y(object, view);
        const bool isChanged = changed.count(i) != 0;
        if (previous != nullptr && isChanged && i < (*previous).size()) {
            const Point3 was = (*previous)[i].Position();
            const double wx = frame.X(was, view), wy = frame.Y(was, view);
            if (std::hypot(px - wx, py - wy) > 2.0) {
                Line(svg, wx, wy, px, py, kChanged, 1.5, " stroke-dasharray=\"5,4\"");
                svg << "<circle cx=\"" << Num(wx) << "\" cy=\"" << Num(wy) << "\" r=\"3\" fill=\"none\" stroke=\""
                    << kChanged << "\"/>\n";
            }
        }
        if (std::hypot(px - ox, py - oy) > 1.0) {
            Line(svg, px, py, ox, oy, "#888", 1, " stroke-dasharray=\"3,3\"");
        }
        svg << "<rect x=\"" << Num(ox - 6) << "\" y=\"" << Num(oy - 6) << "\" width=\"12\" height=\"12\""
            << " fill=\"#d0d0d0\" stroke=\"" << (isChanged ? kChanged : "#666") << "\" stroke-width=\""
            << (isChanged ? "2" : "1") << "\"/>\n";
        for (int axis = 0; axis < 3; ++axis) {
            const Point3 tip = pivot + node.Direction(axis) * static_cast<float>(frame.tripod);
            Line(svg, px, py, frame.X(tip, view), frame.Y(tip, view), kAxisColours[axis], 2.5,
                 " stroke-linecap=\"round\"");
        }
        spots[{std::lround(px / 4), std::lround(py / 4)}].push_back(i);
    }
    // A label that would overlap one already placed moves down a line.
    PlacedLabels placed(frame);
    for (const auto& spot : spots) {
        const NodeState& first = snapshot[spot.second.front()];
        const double px = frame.X(first.Position(), view);
        double y = frame.Y(first.Position(), view) - 8 - kLabelStep * double(spot.second.size() - 1);
        // Labels that would leave the panel on the right go left of their pivot.
        double widest = 0;
        for (std::size_t i : spot.second) {
            widest = std::max(widest, 6.5 * double(std::to_string(i).size() + 1 + DisplayWidth(snapshot[i].name)));
        }
        const bool leftSide = px + 8 + widest > frame.left + kPanel - 2;
        for (std::size_t i : spot.second) {
            const std::string text = std::to_string(i) + " " + snapshot[i].name;
            const double width = 6.5 * double(DisplayWidth(text));
            const double x = leftSide ? std::max(frame.left + 2, px - 8 - widest) : px + 8;
            const double right = x + width;
            for (int tries = 0; tries < 64 && placed.Overlaps({x, right, y - 11, y + 3}); ++tries) {
                y += kLabelStep;
            }
            placed.Add({x, right, y - 11, y + 3});
            Label(svg, x, y, text, changed.count(i) != 0);
            y += kLabelStep;
        }
    }
}

void DrawLegend(std::ostringstream& svg, double top) {
    double x = kMargin;
    const double y = top + 20;
    const char* const names[] = {"X axis", "Y axis", "Z axis"};
    for (int axis = 0; axis < 3; ++axis) {
        Line(svg, x, y - 4, x + 22, y - 4, kAxisColours[axis], 2.5);
        svg << "<text x=\"" << Num(x + 28) << "\" y=\"" << Num(y) << "\" font-size=\"12\">" << names[axis]
            << "</text>\n";
        x += 90;
    }
    svg << "<rect x=\"" << Num(x) << "\" y=\"" << Num(y - 10) << "\" width=\"12\" height=\"12\" fill=\"#d0d0d0\""
        << " stroke=\"#666\"/>\n<text x=\"" << Num(x + 18) << "\" y=\"" << Num(y)
        << "\" font-size=\"12\">object (dashed to its pivot)</text>\n";
    x += 210;
    Line(svg, x, y - 4, x + 22, y - 4, kChanged, 1.5, " stroke-dasharray=\"5,4\"");
    svg << "<text x=\"" << Num(x + 28) << "\" y=\"" << Num(y) << "\" font-size=\"12\" fill=\"" << kChanged
        << "\" font-weight=\"bold\">changed (trail from the pivot before)</text>\n";
}

}  // namespace

std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after) {
    std::set<std::size_t> changed;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (!CompareStates(i, before[i], after[i]).Empty()) {
            changed.insert(i);
        }
    }
    const double width = 2 * kPanel + 3 * kMargin;
    const double rows = 2 * (kTitle + kPanel) + 2 * kMargin;
    const double height = rows + kLegend + kMargin / 2;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(width) << "\" height=\"" << Num(height)
        << "\" viewBox=\"0 0 " << Num(width) << " " << Num(height) << "\" font-family=\"sans-serif\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (int row = 0; row < 2; ++row) {
        const View& view = kViews[row];
        const double top = kMargin + kTitle + row * (kPanel + kTitle + kMargin);
        for (int column = 0; column < 2; ++column) {
            Frame frame = FitFrame(before, after, view);
            frame.left = kMargin + column * (kPanel + kMargin);
            frame.top = top;
            const bool isAfter = column == 1;
            const std::string title = std::string(isAfter ? "after: " : "before: ") + view.title;
            DrawPanel(svg, isAfter ? after : before, isAfter ? &before : nullptr,
                      isAfter ? changed : std::set<std::size_t>(), view, frame, title);
        }
    }
    DrawLegend(svg, rows);
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace driver
