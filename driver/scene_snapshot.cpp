#include "scene_snapshot.h"

#include "utf8.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <sstream>

namespace driver {

Point3 NodeView::Direction(int axis) const {
    const Point3& row = transform.row[axis];
    const float length = Length(row);
    return length == 0.0f ? Point3() : row / length;
}

Point3 NodeView::Scales() const {
    return {Length(transform.row[0]), Length(transform.row[1]), Length(transform.row[2])};
}

SceneSnapshot TakeSnapshot(standin::StandinScene& scene) {
    SceneSnapshot snapshot;
    for (standin::StandinNode* node : scene.PreOrder()) {
        snapshot.nodes.push_back({node->Name(), node->Transform(), node->ObjectWorld()});
    }
    return snapshot;
}

std::string FormatNumber(float value) {
    // Four decimals, without a negative zero.
    if (std::fabs(value) < 5e-5f) {
        value = 0.0f;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    return text;
}

std::string FormatPoint(const Point3& p) {
    return "(" + FormatNumber(p.x) + ", " + FormatNumber(p.y) + ", " + FormatNumber(p.z) + ")";
}

namespace {

bool Near(const Point3& a, const Point3& b, float tolerance) {
    const float scale = std::max({1.0f, Length(a), Length(b)});
    return Length(a - b) <= tolerance * scale;
}

}  // namespace

std::string QuoteName(const std::string& name) {
    const bool utf8 = IsValidUtf8(name);
    std::string quoted = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7f || (byte >= 0x80 && !utf8)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

namespace {

std::string Axes(const NodeView& node) {
    return "X" + FormatPoint(node.Direction(0)) + " Y" + FormatPoint(node.Direction(1)) + " Z" +
           FormatPoint(node.Direction(2));
}

}  // namespace

std::vector<NodeChange> CompareSnapshots(const SceneSnapshot& before, const SceneSnapshot& after, float tolerance) {
    std::vector<NodeChange> changes;
    const std::size_t count = std::min(before.nodes.size(), after.nodes.size());
    for (std::size_t i = 0; i < count; ++i) {
        const NodeView& was = before.nodes[i];
        const NodeView& now = after.nodes[i];
        NodeChange change;
        change.index = i;
        change.name = now.name;
        if (was.name != now.name) {
            change.aspects.push_back("name");
            change.lines.push_back("name " + QuoteName(was.name) + " -> " + QuoteName(now.name));
        }
        if (!Near(was.Position(), now.Position(), tolerance)) {
            change.aspects.push_back("position");
            change.lines.push_back("position " + FormatPoint(was.Position()) + " -> " + FormatPoint(now.Position()));
        }
        bool turned = false;
        for (int axis = 0; axis < 3; ++axis) {
            turned = turned || !Near(was.Direction(axis), now.Direction(axis), tolerance);
        }
        if (turned) {
            change.aspects.push_back("orientation");
            change.lines.push_back("orientation " + Axes(was) + " -> " + Axes(now));
        }
        if (!Near(was.Scales(), now.Scales(), tolerance)) {
            change.aspects.push_back("scale");
            change.lines.push_back("scale " + FormatPoint(was.Scales()) + " -> " + FormatPoint(now.Scales()));
        }
        if (!Near(was.objectWorld.GetTrans(), now.objectWorld.GetTrans(), tolerance)) {
            change.aspects.push_back("object");
            change.lines.push_back("object at " + FormatPoint(was.objectWorld.GetTrans()) + " -> " +
                                   FormatPoint(now.objectWorld.GetTrans()));
        }
        if (!change.lines.empty()) {
            changes.push_back(std::move(change));
        }
    }
    return changes;
}

std::string FormatNodeTable(const SceneSnapshot& snapshot) {
    auto pad = [](std::string text, std::size_t width) {
        if (text.size() < width) {
            text.resize(width, ' ');
        }
        return text;
    };
    std::ostringstream out;
    out << "    " << pad("#", 4) << pad("name", 22) << pad("position", 34) << pad("axes (X, Y, Z directions)", 84)
        << "scales\n";
    for (std::size_t i = 0; i < snapshot.nodes.size(); ++i) {
        const NodeView& node = snapshot.nodes[i];
        out << "    " << pad(std::to_string(i), 4) << pad(QuoteName(node.name), 22) << pad(FormatPoint(node.Position()), 34)
            << pad(Axes(node), 84) << FormatPoint(node.Scales()) << "\n";
    }
    return out.str();
}

}  // namespace driver
