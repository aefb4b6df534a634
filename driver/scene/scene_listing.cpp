#include "scene/scene_listing.h"

#include <algorithm>
#include <optional>

#include "json/json_text.h"
#include "scene/node_tree.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

namespace {

// The scene's nodes in pre-order from the root, without recursion. The
// driver reads the scene directly, not through the calls that the host's
// journal records for a tool.
std::vector<standin::StandinNode*> PreOrder(standin::StandinScene& scene) {
    std::vector<standin::StandinNode*> order;
    std::vector<standin::StandinNode*> pending{&scene.Root()};
    while (!pending.empty()) {
        standin::StandinNode* node = pending.back();
        pending.pop_back();
        order.push_back(node);
        pending.insert(pending.end(), node->Children().rbegin(), node->Children().rend());
    }
    return order;
}

std::vector<std::string> HoldsOf(const SceneFile& file, std::size_t index, const standin::StandinNode& node) {
    std::vector<std::string> holds;
    if (index == 0) {
        return holds;  // the scene's root holds no object of its own
    }
    switch (node.GetObject().superClass) {
        case GEOMOBJECT_CLASS_ID:
            holds.push_back("mesh");
            break;
        case 0x20:
            holds.push_back("camera");
            break;
        case 0x30:
            holds.push_back("light");
            break;
        default:
            break;
    }
    for (const char* extra : file.SourceOf(index).holds) {
        if (std::find(holds.begin(), holds.end(), extra) == holds.end()) {
            holds.emplace_back(extra);
        }
    }
    return holds;
}

// How deep the text's indentation goes: a line deeper than this is
// indented as deep, and says how much deeper it is ("+5 "), so that a
// line's length does not grow with its depth.
constexpr std::uint32_t kIndentedLevels = 20;

void AppendIndent(std::string& line, std::uint32_t depth) {
    line.append(1 + 2 * static_cast<std::size_t>(std::min(depth, kIndentedLevels)), ' ');
    if (depth > kIndentedLevels) {
        line += '+' + std::to_string(depth - kIndentedLevels) + ' ';
    }
}

// "(x,y,z)", or as JSON "[x, y, z]": a corner's numbers, each in the
// shortest form that reads back.
std::string CornerText(const double (&corner)[3], bool json) {
    std::string text = json ? "[" : "(";
    for (int i = 0; i < 3; ++i) {
        text += (i == 0 ? "" : json ? ", " : ",") + NumberText(corner[i]);
    }
    return text + (json ? "]" : ")");
}

std::string BoxText(const WorldBox& box, bool json) {
    return json ? "{\"min\": " + CornerText(box.min, true) + ", \"max\": " + CornerText(box.max, true) + "}"
                : CornerText(box.min, false) + ".." + CornerText(box.max, false);
}

// "(x,y,z)", or as JSON "[x, y, z]", of a row of a node's matrix.
std::string RowText(const Point3& row, bool json) {
    std::string text = json ? "[" : "(";
    for (int i = 0; i < 3; ++i) {
        text += (i == 0 ? "" : json ? ", " : ",") + NumberText(row[i]);
    }
    return text + (json ? "]" : ")");
}

bool IsWorldAxes(const NodeMatrix& matrix) {
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (matrix.GetRow(i)[k] != (i == k ? 1.0f : 0.0f)) {
                return false;
            }
        }
    }
    return true;
}

// The pivot in the world: "  pivot (x,y,z)", then its axes where they are
// not the world's ("axes (X) (Y) (Z)", each as long as the node's scale
// along it); as JSON {"position": [x, y, z], "axes": [[X], [Y], [Z]]}.
std::string PivotText(const NodeMatrix& world, bool json) {
    if (json) {
        return "{\"position\": " + RowText(world.GetTrans(), true) + ", \"axes\": [" + RowText(world.GetRow(0), true) +
               ", " + RowText(world.GetRow(1), true) + ", " + RowText(world.GetRow(2), true) + "]}";
    }
    std::string text = "  pivot " + RowText(world.GetTrans(), false);
    if (!IsWorldAxes(world)) {
        text += " axes " + RowText(world.GetRow(0), false) + " " + RowText(world.GetRow(1), false) + " " +
                RowText(world.GetRow(2), false);
    }
    return text;
}

}  // namespace

void WriteSceneListing(SceneFile& file, std::ostream& out) {
    const std::vector<standin::StandinNode*> order = PreOrder(*file.Document().scene);
    const NodeTree tree = TreeOf(order);
    const std::size_t width = std::to_string(order.size() - 1).size();
    std::string line;
    for (std::size_t k = 0; k < order.size(); ++k) {
        line = std::to_string(k);
        line.insert(0, width - line.size(), ' ');
        AppendIndent(line, tree.depth[k]);
        AppendQuoted(line, order[k]->Name());
        const std::vector<std::string> holds = HoldsOf(file, k, *order[k]);
        for (std::size_t i = 0; i < holds.size(); ++i) {
            line += (i == 0 ? "  " : ", ") + holds[i];
        }
        if (k != 0) {
            line += PivotText(order[k]->Transform(), false);
        }
        if (const std::optional<WorldBox> box = file.DrawnBox(k)) {
            line += "  box " + BoxText(*box, false);
        }
        if (const std::optional<WorldBox> box = file.ObjectBox(k)) {
            line += "  object box " + BoxText(*box, false);
        }
        if (const std::optional<std::string> source = file.FileNodeName(k)) {
            line += "  " + *source;
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

void WriteSceneListingJson(SceneFile& file, std::ostream& out) {
    const std::vector<standin::StandinNode*> order = PreOrder(*file.Document().scene);
    const NodeTree tree = TreeOf(order);
    out << "{\"nodes\": [";
    std::string entry;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::string& name = order[k]->Name();
        entry = k == 0 ? "\n" : ",\n";
        entry += "  {\"index\": " + std::to_string(k) + ", \"depth\": " + std::to_string(tree.depth[k]) +
                 ", \"parent\": " + (k == 0 ? std::string("null") : std::to_string(tree.parent[k])) + ", \"name\": ";
        entry += IsValidUtf8(name) ? JsonString(name) : "null";
        entry += ", \"quoted\": " + JsonString(Quoted(name)) + ", \"holds\": [";
        const std::vector<std::string> holds = HoldsOf(file, k, *order[k]);
        for (std::size_t i = 0; i < holds.size(); ++i) {
            entry += (i == 0 ? "" : ", ") + JsonString(holds[i]);
        }
        const std::optional<std::string> source = file.FileNodeName(k);
        entry += "], \"source\": " + (source ? JsonString(*source) : std::string("null"));
        entry += ", \"pivot\": " + PivotText(order[k]->Transform(), true);
        const std::optional<WorldBox> box = file.DrawnBox(k);
        entry += ", \"bounds\": " + (box ? BoxText(*box, true) : std::string("null"));
        const std::optional<WorldBox> objectBox = file.ObjectBox(k);
        entry += ", \"objectBox\": " + (objectBox ? BoxText(*objectBox, true) : std::string("null"));
        entry += "}";
        out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
    }
    out << "\n]}\n";
}

}  // namespace driver
