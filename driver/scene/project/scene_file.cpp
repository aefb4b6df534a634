#include "scene/project/scene_file.h"
#include "scene/scene_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "scene/gltf/gltf_scene_file.h"
#include "text/hex_digits.h"
#include "files/input_file.h"
#include "json/json_text.h"
#include "text/name_text.h"
#include "scene/node_index.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

namespace {

using standin::StandinNode;
using standin::StandinScene;
using Token = JsonReader::Token;

constexpr const char* kMatrixShape = "must be four rows of three numbers";

// True for the identity exactly, without negative zeros, so that leaving
// it out of a file loses nothing.
bool IsIdentity(const NodeMatrix& matrix) {
    const NodeMatrix identity;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (matrix.row[r][c] != identity.row[r][c] || std::signbit(matrix.row[r][c])) {
                return false;
            }
        }
    }
    return true;
}

template <class Integer>
bool ReadInteger(std::string_view text, Integer& value) {
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    return read.ec == std::errc() && read.ptr == end;
}

// Reads a scene file token by token and builds the stand-in scene as it
// goes. The nodes being read are kept on a stack of their own, so the
// file's depth costs no call stack; each node is made when its object
// opens, which is its place in pre-order.
class SceneReader {
public:
    SceneReader(const std::string& text, std::string path) : json_(text), path_(std::move(path)) {}

    SceneDocument Read() {
        try {
            ReadDocument();
        } catch (const JsonSyntaxError& e) {
            Fail(e.place, std::string("malformed JSON: ") + e.what());
        }
        return std::move(document_);
    }

private:
    struct Node {
        StandinNode* node;
        std::size_t index;
        TextPlace opened;
        bool named = false;
        bool hasTransform = false;
        bool hasOffset = false;
        bool hasObject = false;
        bool hasChildren = false;
        bool inChildren = false;
    };
    struct Selected {
        std::uint64_t index;
        TextPlace place;
    };

    [[noreturn]] void Fail(TextPlace place, const std::string& what) const {
        ScenePlace where;
        where.text = place;
        if (!open_.empty()) {
            const Node& node = open_.back();
            where.node = node.index;
            if (node.named) {
                where.name = node.node->Name();
            }
        }
        throw SceneFileError(SceneErrorText(path_, where, what));
    }
    [[noreturn]] void Fail(const std::string& what) const { Fail(json_.Place(), what); }

    void Expect(Token expected, const std::string& what) {
        if (json_.Next() != expected) {
            Fail(what);
        }
    }

    void ReadDocument() {
        Expect(Token::BeginObject, "the file must hold one JSON object");
        bool range = false, time = false, root = false, selection = false;
        auto once = [this](bool& seen, const std::string& key) {
            if (seen) {
                Fail(QuotedExcerpt(key) + " is given twice");
            }
            seen = true;
        };
        while (json_.Next() != Token::EndObject) {
            const std::string key = json_.Text();
            if (key == "animationRange") {
                once(range, key);
                ReadRange();
            } else if (key == "currentTime") {
                once(time, key);
                document_.currentTime = ReadTime("\"currentTime\" must be an integer");
            } else if (key == "root") {
                once(root, key);
                ReadNodes();
            } else if (key == "selection") {
                once(selection, key);
                ReadSelection();
            } else {
                Fail("unknown key " + QuotedExcerpt(key));
            }
        }
        const TextPlace end = json_.Place();
        json_.Next();
        if (!root) {
            Fail(end, "the file needs a \"root\" node");
        }
        CheckSelection();
    }

    TimeValue ReadTime(const std::string& what) {
        TimeValue value = 0;
        if (json_.Next() != Token::Number || !ReadInteger(json_.NumberText(), value)) {
            Fail(what);
        }
        return value;
    }

    void ReadRange() {
        const std::string what = "\"animationRange\" must be [start, end], two integers";
        Expect(Token::BeginArray, what);
        document_.animationRange.start = ReadTime(what);
        document_.animationRange.end = ReadTime(what);
        Expect(Token::EndArray, what);
    }

    void ReadSelection() {
        const std::string what = "\"selection\" must be an array of node indices";
        Expect(Token::BeginArray, what);
        for (Token token = json_.Next(); token != Token::EndArray; token = json_.Next()) {
            std::uint64_t index = 0;
            if (token != Token::Number || !ReadInteger(json_.NumberText(), index)) {
                Fail(what);
            }
            selected_.push_back({index, json_.Place()});
        }
    }

    // Indices refer to the nodes in pre-order, so they are checked once
    // the whole tree is known.
    void CheckSelection() {
        const std::size_t count = document_.scene->NodeCount();
        std::vector<bool> taken(count, false);
        for (const Selected& item : selected_) {
            const std::string index = std::to_string(item.index);
            if (item.index >= count) {
                Fail(item.place, "selection: node " + index + " is not in the scene (its nodes are 0 to " +
                                     std::to_string(count - 1) + ")");
            }
            if (item.index == 0) {
                Fail(item.place, std::string("selection: ") + kRootNotSelectable);
            }
            const auto node = static_cast<std::size_t>(item.index);
            if (taken[node]) {
                Fail(item.place, "selection: node " + index + " is selected twice");
            }
            taken[node] = true;
            document_.selection.push_back(node);
        }
    }

    void ReadNodes() {
        document_.scene = std::make_unique<StandinScene>();
        Expect(Token::BeginObject, "\"root\" must be a node (an object)");
        open_.push_back({&document_.scene->Root(), 0, json_.Place()});
        std::size_t made = 1;
        while (!open_.empty()) {
            if (open_.back().inChildren) {
                const Token token = json_.Next();
                if (token == Token::EndArray) {
                    open_.back().inChildren = false;
                    continue;
                }
                if (token != Token::BeginObject) {
                    Fail("\"children\" must be an array of nodes (objects)");
                }
                StandinNode& child = document_.scene->AddNode(*open_.back().node, "");
                open_.push_back({&child, made++, json_.Place()});
                continue;
            }
            if (json_.Next() == Token::EndObject) {
                FinishNode();
                open_.pop_back();
                continue;
            }
            ReadNodeMember();
        }
    }

    enum class NodeKey { Name, NameHex, Transform, ObjectOffset, Object, Children, Unknown };

    static NodeKey NodeKeyOf(const std::string& key) {
        static const std::pair<const char*, NodeKey> kKeys[] = {
            {"name", NodeKey::Name},           {"transform", NodeKey::Transform}, {"children", NodeKey::Children},
            {"nameHex", NodeKey::NameHex},     {"objectOffset", NodeKey::ObjectOffset},
            {"object", NodeKey::Object},
        };
        for (const auto& [text, value] : kKeys) {
            if (key == text) {
                return value;
            }
        }
        return NodeKey::Unknown;
    }

    void ReadNodeMember() {
        const NodeKey key = NodeKeyOf(json_.Text());
        const TextPlace keyPlace = json_.Place();
        Node& node = open_.back();
        auto once = [this](bool& seen, const std::string& what) {
            if (seen) {
                Fail(what);
            }
            seen = true;
        };
        switch (key) {
            case NodeKey::Name:
            case NodeKey::NameHex: {
                once(node.named, "has more than one of \"name\" and \"nameHex\"");
                node.named = false;  // messages show no name until it is read
                std::string name = key == NodeKey::Name ? ReadName() : ReadHexName();
                node.node->SetName(std::move(name));
                node.named = true;
                break;
            }
            case NodeKey::Transform: {
                once(node.hasTransform, "\"transform\" is given twice");
                const NodeMatrix transform = ReadMatrix("transform");
                if (node.index == 0) {
                    if (!IsIdentity(transform)) {
                        Fail(keyPlace, "the root's \"transform\" must be the identity (the host's root does not move)");
                    }
                } else {
                    node.node->SetTransform(transform);
                }
                break;
            }
            case NodeKey::ObjectOffset:
                once(node.hasOffset, "\"objectOffset\" is given twice");
                node.node->SetObjectOffset(ReadMatrix("objectOffset"));
                break;
            case NodeKey::Object:
                once(node.hasObject, "\"object\" is given twice");
                ReadObject(node.node->GetObject());
                break;
            case NodeKey::Children:
                once(node.hasChildren, "\"children\" is given twice");
                Expect(Token::BeginArray, "\"children\" must be an array of nodes (objects)");
                node.inChildren = true;
                break;
            case NodeKey::Unknown:
                Fail("unknown key " + QuotedExcerpt(std::string(json_.Text())));
        }
    }

    void FinishNode() {
        const Node& node = open_.back();
        if (!node.named) {
            Fail(node.opened, "the node needs a \"name\" or a \"nameHex\"");
        }
        if (!node.hasTransform) {
            Fail(node.opened, "the node needs a \"transform\"");
        }
    }

    std::string ReadName() {
        if (json_.Next() != Token::String) {
            Fail("\"name\" must be a string");
        }
        if (json_.Text().find('\0') != std::string::npos) {
            Fail("a name cannot hold a NUL character");
        }
        return json_.Text();
    }

    std::string ReadHexName() {
        const std::string what = "\"nameHex\" must be a string of hexadecimal digits, two a byte, of non-NUL bytes";
        if (json_.Next() != Token::String) {
            Fail(what);
        }
        const std::string& hex = json_.Text();
        if (hex.size() % 2 != 0) {
            Fail(what);
        }
        std::string name;
        name.reserve(hex.size() / 2);
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int high = HexValue(hex[i]);
            const int low = HexValue(hex[i + 1]);
            if (high < 0 || low < 0 || (high == 0 && low == 0)) {
                Fail(what);
            }
            name += static_cast<char>(high * 16 + low);
        }
        return name;
    }

    NodeMatrix ReadMatrix(const char* key) {
        auto what = [key]() { return "\"" + std::string(key) + "\" " + kMatrixShape; };
        NodeMatrix matrix;
        auto expect = [&](Token token) {
            if (json_.Next() != token) {
                Fail(what());
            }
        };
        expect(Token::BeginArray);
        for (int r = 0; r < 4; ++r) {
            expect(Token::BeginArray);
            for (int c = 0; c < 3; ++c) {
                expect(Token::Number);
                if (ReadNumber(json_.NumberText(), matrix.row[r][c]) != NumberProblem::None) {
                    Fail("\"" + std::string(key) + "\" holds " + Excerpt(std::string(json_.NumberText())) +
                         ", which is not finite in single precision");
                }
            }
            expect(Token::EndArray);
        }
        expect(Token::EndArray);
        return matrix;
    }

    void ReadObject(standin::StandinObject& object) {
        const std::string what = "\"object\" must be {\"superClass\": number, \"objectTest\": true or false}";
        Expect(Token::BeginObject, what);
        bool hasSuperClass = false, hasTest = false;
        object.objectTest = true;
        while (json_.Next() != Token::EndObject) {
            const std::string key = json_.Text();
            if (key == "superClass" && !hasSuperClass) {
                hasSuperClass = true;
                if (json_.Next() != Token::Number || !ReadInteger(json_.NumberText(), object.superClass)) {
                    Fail(what);
                }
            } else if (key == "objectTest" && !hasTest) {
                hasTest = true;
                const Token token = json_.Next();
                if (token != Token::True && token != Token::False) {
                    Fail(what);
                }
                object.objectTest = token == Token::True;
            } else {
                Fail(what);
            }
        }
        if (!hasSuperClass) {
            Fail(what);
        }
    }

    JsonReader json_;
    std::string path_;
    SceneDocument document_;
    std::vector<Node> open_;  // the nodes being read, the innermost last
    std::vector<Selected> selected_;
};

// Lines are indented by two spaces a level, up to this many spaces.
constexpr std::size_t kDeepestIndent = 40;

// Writes the scene's text without recursion: the nodes whose children are
// being written are kept on a stack.
class SceneWriter {
public:
    std::string Write(StandinScene& scene, const std::vector<std::size_t>& selection, AnimRange range,
                      TimeValue time) {
        out_.reserve(scene.NodeCount() * 128);
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

std::string SceneErrorText(const std::string& path, const ScenePlace& place, const std::string& what) {
    std::string text = path;
    if (place.text) {
        text += ":" + std::to_string(place.text->line) + ":" + std::to_string(place.text->column);
    }
    text += ": ";
    if (place.node) {
        text += "node " + std::to_string(*place.node) + (place.name ? " " + QuotedExcerpt(*place.name) : "") + ": ";
    }
    return text + what;
}

SceneDocument ParseSceneFile(const std::string& text, const std::string& source) {
    return SceneReader(text, source).Read();
}

SceneDocument ReadSceneFile(const std::string& path) { return ParseSceneFile(ReadInputFile(path), path); }

std::string WriteSceneFile(StandinScene& scene, const std::vector<std::size_t>& selection, AnimRange animationRange,
                           TimeValue currentTime) {
    return SceneWriter().Write(scene, selection, animationRange, currentTime);
}

namespace {

// The project's own scene file: everything it holds is in the document.
class JsonSceneFile final : public SceneFile {
public:
    explicit JsonSceneFile(SceneDocument document) { document_ = std::move(document); }

    std::string FormatName() const override { return "scene file"; }
    std::string WrongName(const std::string& path) const override {
        return gltf::IsGltfScene("", path)
                   ? "the scene is in the project's own format, which is not written to a .gltf or .glb file"
                   : "";
    }
    std::string Write(const std::string&, const std::vector<std::size_t>& selection) override {
        return WriteSceneFile(*document_.scene, selection, document_.animationRange, document_.currentTime);
    }
};

}  // namespace

std::unique_ptr<SceneFile> ParseScene(const std::string& bytes, const std::string& path) {
    if (gltf::IsGltfScene(bytes, path)) {
        return gltf::ParseGltfScene(bytes, path);
    }
    return std::make_unique<JsonSceneFile>(ParseSceneFile(bytes, path));
}

std::unique_ptr<SceneFile> ReadScene(const std::string& path) { return ParseScene(ReadInputFile(path), path); }

}  // namespace driver
