#include "scene/node_state.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "text/number_text.h"

namespace driver {

namespace {

double LengthOf(const Point3& row) {
    const double x = row.x, y = row.y, z = row.z;
    return std::sqrt(x * x + y * y + z * z);
}

bool SameRows(const NodeMatrix& a, const NodeMatrix& b, int first, int last) {
    for (int r = first; r <= last; ++r) {
        if (!(a.row[r] == b.row[r])) {
            return false;
        }
    }
    return true;
}

// What single precision cannot tell apart: a few units in the last place
// of the largest number in play. Differences below it are the rounding
// of the arithmetic, not a change.
constexpr double kRounding = 1.0 / (1 << 21);

double Largest(const NodeMatrix& a, const NodeMatrix& b, int first, int last) {
    double size = 0;
    for (int r = first; r <= last; ++r) {
        for (int c = 0; c < 3; ++c) {
            size = std::max(
                {size, std::fabs(static_cast<double>(a.row[r][c])), std::fabs(static_cast<double>(b.row[r][c]))});
        }
    }
    return size;
}

bool CloseRows(const NodeMatrix& a, const NodeMatrix& b, int first, int last, double size) {
    for (int r = first; r <= last; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (!(std::fabs(static_cast<double>(a.row[r][c]) - b.row[r][c]) <= kRounding * size)) {
                return false;
            }
        }
    }
    return true;
}

// The same rows, or rows that differ only by rounding: the axes measured
// by the larger axis, the translation by itself and the axes.
bool SameUpToRounding(const NodeMatrix& a, const NodeMatrix& b, int first, int last) {
    if (SameRows(a, b, first, last)) {
        return true;
    }
    const double axes = Largest(a, b, 0, 2);
    const bool axesClose = first > 2 || CloseRows(a, b, first, std::min(last, 2), axes);
    return axesClose && (last < 3 || CloseRows(a, b, 3, 3, std::max(axes, Largest(a, b, 3, 3))));
}

bool CloseVectors(const Point3& a, const Point3& b, double size) {
    for (int c = 0; c < 3; ++c) {
        if (!(std::fabs(static_cast<double>(a[c]) - b[c]) <= kRounding * size)) {
            return false;
        }
    }
    return true;
}

std::string Axes(const Point3 x, const Point3 y, const Point3 z) {
    return "X" + FormatPoint(x) + " Y" + FormatPoint(y) + " Z" + FormatPoint(z);
}

std::string Directions(const NodeState& node) { return Axes(node.Direction(0), node.Direction(1), node.Direction(2)); }

std::string Rows(const NodeMatrix& m) { return Axes(m.row[0], m.row[1], m.row[2]); }

}  // namespace

Point3 NodeState::Direction(int axis) const {
    const Point3& row = transform.row[axis];
    const double length = LengthOf(row);
    if (length == 0.0) {
        return Point3();
    }
    return {static_cast<float>(row.x / length), static_cast<float>(row.y / length), static_cast<float>(row.z / length)};
}

NodeState StateOf(const standin::StandinNode& node) { return {node.Name(), node.Transform(), node.ObjectWorld()}; }

SceneSnapshot TakeSnapshot(standin::StandinScene& scene) {
    SceneSnapshot snapshot;
    const std::vector<standin::StandinNode*> order = scene.PreOrder();
    snapshot.reserve(order.size());
    for (const standin::StandinNode* node : order) {
        snapshot.push_back(StateOf(*node));
    }
    return snapshot;
}

std::string FormatPoint(const Point3& p) {
    return "(" + NumberText(p.x) + ", " + NumberText(p.y) + ", " + NumberText(p.z) + ")";
}

namespace {

std::string FormatScales(const NodeState& node) {
    return "(" + NumberText(LengthOf(node.transform.row[0])) + ", " + NumberText(LengthOf(node.transform.row[1])) +
           ", " + NumberText(LengthOf(node.transform.row[2])) + ")";
}

}  // namespace

const char* AspectName(Aspect aspect) {
    switch (aspect) {
        case Aspect::Name:
            return "name";
        case Aspect::Position:
            return "position";
        case Aspect::Orientation:
            return "orientation";
        case Aspect::Scale:
            return "scale";
        case Aspect::Axes:
            return "axes";
        case Aspect::Object:
            return "object";
    }
    return "";
}

namespace {

// The comparison of CompareStates, with what the node is now given part
// by part: a node's name is not copied to be compared.
NodeChange Compare(std::size_t index, const NodeState& before, const std::string& name, const NodeMatrix& transform,
                   const NodeMatrix& objectWorld, bool withLines) {
    NodeChange change = CompareNames(index, before.name, name, withLines);
    auto add = [&change, withLines](Aspect aspect, auto line) {
        change.aspects.push_back(aspect);
        if (withLines) {
            change.lines.push_back(line());
        }
    };
    // The pivot's position is where a tool put it, to the last bit: the
    // smallest step is a change.
    if (!(before.Position() == transform.GetTrans())) {
        add(Aspect::Position,
            [&] { return "position " + FormatPoint(before.Position()) + " -> " + FormatPoint(transform.GetTrans()); });
    }
    if (!SameUpToRounding(before.transform, transform, 0, 2)) {
        const NodeState after{std::string(), transform, objectWorld};
        bool turned = false, scaled = false;
        for (int axis = 0; axis < 3; ++axis) {
            turned = turned || !CloseVectors(before.Direction(axis), after.Direction(axis), 1);
            const double was = LengthOf(before.transform.row[axis]), is = LengthOf(transform.row[axis]);
            scaled = scaled || !(std::fabs(was - is) <= kRounding * std::max(was, is));
        }
        if (turned) {
            add(Aspect::Orientation, [&] { return "orientation " + Directions(before) + " -> " + Directions(after); });
        }
        if (scaled) {
            add(Aspect::Scale, [&] { return "scale " + FormatScales(before) + " -> " + FormatScales(after); });
        }
        if (!turned && !scaled) {
            add(Aspect::Axes, [&] { return "axes " + Rows(before.transform) + " -> " + Rows(transform); });
        }
    }
    const NodeMatrix& was = before.objectWorld;
    const NodeMatrix& now = objectWorld;
    if (!SameUpToRounding(was, now, 0, 3)) {
        change.aspects.push_back(Aspect::Object);
        if (withLines && !(was.GetTrans() == now.GetTrans())) {
            change.lines.push_back("object at " + FormatPoint(was.GetTrans()) + " -> " + FormatPoint(now.GetTrans()));
        }
        if (withLines && !SameRows(was, now, 0, 2)) {
            change.lines.push_back("object axes " + Rows(was) + " -> " + Rows(now));
        }
    }
    if (withLines && !change.Empty()) {
        change.name = name;
    }
    return change;
}

}  // namespace

NodeChange CompareNames(std::size_t index, const std::string& before, const std::string& after, bool withLines) {
    NodeChange change;
    change.index = index;
    if (before != after) {
        change.aspects.push_back(Aspect::Name);
        if (withLines) {
            change.lines.push_back("name " + Quoted(before) + " -> " + Quoted(after));
            change.name = after;
        }
    }
    return change;
}

NodeChange CompareStates(std::size_t index, const NodeState& before, const NodeState& after, bool withLines) {
    return Compare(index, before, after.name, after.transform, after.objectWorld, withLines);
}

NodeChange CompareToNode(std::size_t index, const NodeState& before, const standin::StandinNode& after,
                         bool withLines) {
    return Compare(index, before, after.Name(), after.Transform(), after.ObjectWorld(), withLines);
}

std::string FormatNodeTable(const SceneSnapshot& snapshot) {
    constexpr int kColumns = 5;
    auto cells = [&snapshot](std::size_t i) -> std::array<std::string, kColumns> {
        const NodeState& node = snapshot[i];
        return {std::to_string(i), Quoted(node.name), FormatPoint(node.Position()), Directions(node),
                FormatScales(node)};
    };
    const std::array<std::string, kColumns> heading = {"#", "name", "position", "axes (X, Y, Z directions)", "scales"};
    std::array<std::size_t, kColumns> widths{};
    for (int c = 0; c < kColumns; ++c) {
        widths[c] = DisplayWidth(heading[c]);
    }
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const auto row = cells(i);
        for (int c = 0; c < kColumns; ++c) {
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
        }
    }
    std::string out;
    auto line = [&out, &widths](const std::array<std::string, kColumns>& row) {
        out += "    ";
        for (int c = 0; c < kColumns; ++c) {
            out += row[c];
            if (c + 1 < kColumns) {
                out.append(widths[c] - DisplayWidth(row[c]) + 2, ' ');
            }
        }
        out += "\n";
    };
    line(heading);
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        line(cells(i));
    }
    return out;
}

}  // namespace driver
