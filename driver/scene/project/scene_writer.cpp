#include <algorithm>

#include "json/json_text.h"
#include "scene/project/node_values.h"
#include "scene/project/scene_file.h"
#include "text/hex_digits.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

namespace {

using standin::StandinNode;
using standin::StandinScene;

// Lines are indented by two spaces a level, up to this many spaces.
constexpr std::size_t kDeepestIndent = 40;

// Writes the scene's text without recursion: the nodes whose children are
// being written are kept on a stack.
class SceneWriter {
public:
    std::string Write(StandinScene& scene, const std::vector<std::size_t>& selection, AnimRange range, TimeValue time) {
        // About what a node takes at a depth, with a transform of fractions;
        // room that is not written to costs no memory.
        out_.reserve(scene.NodeCount() * 384);
        out_ += "{\n";
        Indent(1);
        out_ += "\"animationRange\": [" + std::to_string(range.start) + ", " + std::to_string(range.end) + "],\n";
        Indent(1);
        out_ += "\"currentTime\": " + std::to_string(time) + ",\n";
        Indent(1);
        out_ += "\"root\": ";
        WriteTree(scene.Root(), 1);
        if (!selection.empty()) {
            out_ += ",\n";
            Indent(1);
            out_ += "\"selection\": [";
            for (std::size_t i = 0; i < selection.size(); ++i) {
                out_ += (i == 0 ? "" : ", ") + std::to_string(selection[i]);
            }
            out_ += "]";
        }
        out_ += "\n}\n";
        return std::move(out_);
    }

private:
    struct Open {
        const StandinNode* node;
        std::size_t nextChild;
        std::size_t level;
    };

    void Indent(std::size_t level) { out_.append(std::min(2 * level, kDeepestIndent), ' '); }

    void WriteTree(const StandinNode& root, std::size_t level) {
        std::vector<Open> open{{&root, 0, level}};
        WriteNodeStart(root, level);
        while (!open.empty()) {
            Open& top = open.back();
            const std::vector<StandinNode*>& children = top.node->Children();
            if (top.nextChild < children.size()) {
                const StandinNode& child = *children[top.nextChild];
                out_ += top.nextChild++ == 0 ? "" : ",\n";
                const std::size_t childLevel = top.level + 2;
                Indent(childLevel);
                WriteNodeStart(child, childLevel);
                open.push_back({&child, 0, childLevel});
                continue;
            }
            if (!children.empty()) {
                out_ += "\n";
                Indent(top.level + 1);
                out_ += "]";
            }
            out_ += "\n";
            Indent(top.level);
            out_ += "}";
            open.pop_back();
        }
    }

    // The node's object up to its children, which follow when it has any.
    void WriteNodeStart(const StandinNode& node, std::size_t level) {
        out_ += "{\n";
        Indent(level + 1);
        if (IsValidUtf8(node.Name())) {
            out_ += "\"name\": ";
            AppendJsonString(out_, node.Name());
        } else {
            out_ += "\"nameHex\": \"";
            AppendHex(node.Name());
            out_ += "\"";
        }
        Member(level, "transform");
        AppendMatrix(node.Transform());
        if (!IsIdentity(node.ObjectOffset())) {
            Member(level, "objectOffset");
            AppendMatrix(node.ObjectOffset());
        }
        const standin::StandinObject& object = node.GetObject();
        if (object.superClass != GEOMOBJECT_CLASS_ID || !object.objectTest) {
            Member(level, "object");
            out_ += "{\"superClass\": " + std::to_string(object.superClass) +
                    ", \"objectTest\": " + (object.objectTest ? "true" : "false") + "}";
        }
        if (!node.Children().empty()) {
            Member(level, "children");
            out_ += "[\n";
        }
    }

    void Member(std::size_t level, const char* key) {
        out_ += ",\n";
        Indent(level + 1);
        out_ += "\"";
        out_ += key;
        out_ += "\": ";
    }

    void AppendMatrix(const NodeMatrix& matrix) {
        out_ += "[";
        for (int r = 0; r < 4; ++r) {
            out_ += r == 0 ? "[" : ", [";
            for (int c = 0; c < 3; ++c) {
                if (c != 0) {
                    out_ += ", ";
                }
                AppendNumber(out_, matrix.row[r][c]);
            }
            out_ += "]";
        }
        out_ += "]";
    }

    void AppendHex(const std::string& bytes) {
        for (const char c : bytes) {
            AppendHexByte(out_, static_cast<unsigned char>(c));
        }
    }

    std::string out_;
};

}  // namespace

std::string WriteSceneFile(StandinScene& scene, const std::vector<std::size_t>& selection, AnimRange animationRange,
                           TimeValue currentTime) {
    return SceneWriter().Write(scene, selection, animationRange, currentTime);
}

}  // namespace driver
