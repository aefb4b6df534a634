#include "scene_file.h"
#include "scene_format.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "gltf/gltf_scene_file.h"
#include "utf8.h"

namespace driver {

namespace {

// Keys keep their written order, and numbers are single precision so that
// they are written in the shortest form that reads back exactly.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t,
                                  std::uint64_t, float>;

using standin::StandinNode;
using standin::StandinScene;

// nlohmann-json's message without its "[json.exception.NAME.ID] " prefix.
std::string WithoutExceptionId(const std::string& message) {
    const auto end = message.find("] ");
    return message.rfind("[json.exception.", 0) == 0 && end != std::string::npos ? message.substr(end + 2) : message;
}

// The place and the text of the first number of `text` that overflows
// single precision, as "POINTER: NUMBER" (a JSON pointer such as
// "/root/transform/3/1"), for a text that parses in double precision.
std::string OverflowingNumber(const std::string& text) {
    const nlohmann::ordered_json wide = nlohmann::ordered_json::parse(text, nullptr, false);
    if (wide.is_discarded()) {
        return "a number";
    }
    const nlohmann::ordered_json flat = wide.flatten();
    for (const auto& item : flat.items()) {
        if (item.value().is_number_float() && !std::isfinite(static_cast<float>(item.value().get<double>()))) {
            return item.key() + ": " + item.value().dump();
        }
    }
    return "a number";
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        throw SceneFileError(source_ + ": " + where + ": " + what);
    }

    NodeMatrix Matrix(const Json& value, const std::string& where) const {
        if (!value.is_array() || value.size() != 4) {
            Fail(where, "must be four rows of three finite numbers");
        }
        NodeMatrix matrix;
        for (std::size_t r = 0; r < 4; ++r) {
            const Json& row = value[r];
            if (!row.is_array() || row.size() != 3) {
                Fail(where, "row " + std::to_string(r) + " must be three finite numbers");
            }
            for (std::size_t c = 0; c < 3; ++c) {
                if (!row[c].is_number()) {
                    Fail(where, "row " + std::to_string(r) + " must be three finite numbers");
                }
                const double number = row[c].get<double>();
                const auto narrowed = static_cast<float>(number);
                if (!std::isfinite(number) || !std::isfinite(narrowed)) {
                    Fail(where, "row " + std::to_string(r) + " holds a number that is not finite in single precision");
                }
                matrix.row[r][static_cast<int>(c)] = narrowed;
            }
        }
        return matrix;
    }

    std::string Name(const Json& node, const std::string& where) const {
        const bool hasName = node.contains("name");
        const bool hasHex = node.contains("nameHex");
        if (hasName == hasHex) {
            Fail(where, "needs exactly one of \"name\" and \"nameHex\"");
        }
        if (hasName) {
            if (!node["name"].is_string()) {
                Fail(where, "\"name\" must be a string");
            }
            std::string name = node["name"].get<std::string>();
            if (name.find('\0') != std::string::npos) {
                Fail(where, "a name cannot hold a NUL character");
            }
            return name;
        }
        if (!node["nameHex"].is_string()) {
            Fail(where, "\"nameHex\" must be a string of hexadecimal digits");
        }
        const std::string hex = node["nameHex"].get<std::string>();
        if (hex.size() % 2 != 0) {
            Fail(where, "\"nameHex\" must have an even number of digits");
        }
        std::string name;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int high = HexDigit(hex[i]);
            const int low = HexDigit(hex[i + 1]);
            if (high < 0 || low < 0 || (high == 0 && low == 0)) {
                Fail(where, "\"nameHex\" must be hexadecimal digits of non-NUL bytes");
            }
            name += static_cast<char>(high * 16 + low);
        }
        return name;
    }

    void Node(const Json& value, StandinNode& node, const std::string& where) const {
        if (!value.is_object()) {
            Fail(where, "a node must be an object");
        }
        for (const auto& item : value.items()) {
            const std::string& key = item.key();
            if (key != "name" && key != "nameHex" && key != "transform" && key != "objectOffset" &&
                key != "object" && key != "children") {
                Fail(where, "unknown key \"" + key + "\"");
            }
        }
        node.SetName(Name(value, where));
        if (!value.contains("transform")) {
            Fail(where, "needs a \"transform\"");
        }
        node.SetTransform(Matrix(value["transform"], where + ".transform"));
        if (value.contains("objectOffset")) {
            node.SetObjectOffset(Matrix(value["objectOffset"], where + ".objectOffset"));
        }
        if (value.contains("object")) {
            const Json& object = value["object"];
            if (!object.is_object() || !object.contains("superClass") || !object["superClass"].is_number_unsigned() ||
                (object.contains("objectTest") && !object["objectTest"].is_boolean())) {
                Fail(where + ".object", "must be {\"superClass\": number, \"objectTest\": true or false}");
            }
            node.GetObject().superClass = object["superClass"].get<std::uint32_t>();
            node.GetObject().objectTest = object.value("objectTest", true);
        }
        if (value.contains("children") && !value["children"].is_array()) {
            Fail(where + ".children", "must be an array of nodes");
        }
    }

private:
    std::string source_;
};

Json MatrixJson(const NodeMatrix& matrix) {
    Json rows = Json::array();
    for (const Point3& row : matrix.row) {
        rows.push_back(Json::array({row.x, row.y, row.z}));
    }
    return rows;
}

// True for a value written on one line: a scalar, an array that holds no
// object, or an object of scalars only.
bool IsInline(const Json& value) {
    if (value.is_object()) {
        for (const auto& item : value.items()) {
            if (item.value().is_structured()) {
                return false;
            }
        }
        return true;
    }
    if (value.is_array()) {
        for (const Json& item : value) {
            if (!IsInline(item)) {
                return false;
            }
        }
    }
    return true;
}

// Writes `value` indented by two spaces a level: objects one key a line
// (objects of scalars only on one line), arrays that hold objects one item
// a line, every other array (matrix rows, index lists) on one line. Scalars are written as nlohmann-json
// writes them, strings escaped and numbers in their shortest exact form.
void WritePretty(const Json& value, int depth, std::string& out) {
    const std::string inner(static_cast<std::size_t>(depth + 1) * 2, ' ');
    const std::string outer(static_cast<std::size_t>(depth) * 2, ' ');
    if (value.is_object() && IsInline(value)) {
        out += "{";
        bool first = true;
        for (const auto& item : value.items()) {
            out += first ? "" : ", ";
            first = false;
            out += Json(item.key()).dump() + ": " + item.value().dump();
        }
        out += "}";
    } else if (value.is_object()) {
        out += "{\n";
        bool first = true;
        for (const auto& item : value.items()) {
            out += first ? "" : ",\n";
            first = false;
            out += inner + Json(item.key()).dump() + ": ";
            WritePretty(item.value(), depth + 1, out);
        }
        out += "\n" + outer + "}";
    } else if (value.is_array() && !IsInline(value)) {
        out += "[\n";
        bool first = true;
        for (const Json& item : value) {
            out += first ? "" : ",\n";
            first = false;
            out += inner;
            WritePretty(item, depth + 1, out);
        }
        out += "\n" + outer + "]";
    } else if (value.is_array()) {
        out += "[";
        bool first = true;
        for (const Json& item : value) {
            out += first ? "" : ", ";
            first = false;
            WritePretty(item, depth + 1, out);
        }
        out += "]";
    } else {
        out += value.dump();
    }
}

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

}  // namespace

SceneDocument ParseSceneFile(const std::string& text, const std::string& source) {
    Reader reader(source);
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& e) {
        throw SceneFileError(source + ": malformed JSON: " + WithoutExceptionId(e.what()));
    } catch (const Json::out_of_range&) {
        throw SceneFileError(source + ": " + OverflowingNumber(text) + " is not finite in single precision");
    }
    if (!json.is_object()) {
        reader.Fail("the file", "must hold one JSON object");
    }
    SceneDocument document;
    if (json.contains("animationRange")) {
        const Json& range = json["animationRange"];
        if (!range.is_array() || range.size() != 2 || !range[0].is_number_integer() || !range[1].is_number_integer()) {
            reader.Fail("animationRange", "must be [start, end], two integers");
        }
        document.animationRange = {range[0].get<TimeValue>(), range[1].get<TimeValue>()};
    }
    if (json.contains("currentTime")) {
        if (!json["currentTime"].is_number_integer()) {
            reader.Fail("currentTime", "must be an integer");
        }
        document.currentTime = json["currentTime"].get<TimeValue>();
    }
    if (!json.contains("root")) {
        reader.Fail("the file", "needs a \"root\" node");
    }
    for (const auto& item : json.items()) {
        const std::string& key = item.key();
        if (key != "animationRange" && key != "currentTime" && key != "root" && key != "selection") {
            reader.Fail("the file", "unknown key \"" + key + "\"");
        }
    }

    // Build the tree without recursion: (json node, scene node, path) pending.
    document.scene = std::make_unique<StandinScene>();
    struct Pending {
        const Json* json;
        StandinNode* node;
        std::string where;
    };
    std::vector<Pending> pending{{&json["root"], &document.scene->Root(), "root"}};
    while (!pending.empty()) {
        Pending current = std::move(pending.back());
        pending.pop_back();
        reader.Node(*current.json, *current.node, current.where);
        if (!current.json->contains("children")) {
            continue;
        }
        const Json& children = (*current.json)["children"];
        std::vector<Pending> made;
        for (std::size_t i = 0; i < children.size(); ++i) {
            StandinNode& child = document.scene->AddNode(*current.node, "");
            made.push_back({&children[i], &child, current.where + ".children[" + std::to_string(i) + "]"});
        }
        pending.insert(pending.end(), std::make_move_iterator(made.rbegin()), std::make_move_iterator(made.rend()));
    }

    if (json.contains("selection")) {
        const Json& selection = json["selection"];
        if (!selection.is_array()) {
            reader.Fail("selection", "must be an array of node indices");
        }
        const std::size_t count = document.scene->NodeCount();
        for (const Json& index : selection) {
            if (!index.is_number_unsigned() || index.get<std::uint64_t>() >= count) {
                reader.Fail("selection", "index " + index.dump() + " is not a node index (0 to " +
                                             std::to_string(count - 1) + ")");
            }
            const auto node = index.get<std::size_t>();
            if (std::find(document.selection.begin(), document.selection.end(), node) != document.selection.end()) {
                reader.Fail("selection", "node " + std::to_string(node) + " is selected twice");
            }
            document.selection.push_back(node);
        }
    }
    return document;
}

namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw SceneFileError(path + ": cannot be opened");
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw SceneFileError(path + ": cannot be read");
    }
    return bytes;
}

}  // namespace

SceneDocument ReadSceneFile(const std::string& path) { return ParseSceneFile(ReadWholeFile(path), path); }

std::string WriteSceneFile(StandinScene& scene, const std::vector<std::size_t>& selection, AnimRange animationRange,
                           TimeValue currentTime) {
    // Build the JSON tree bottom-up from the pre-order, without recursion.
    const std::vector<StandinNode*> order = scene.PreOrder();
    std::vector<Json> made(order.size());
    std::unordered_map<const StandinNode*, std::size_t> indexOf;
    indexOf.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        indexOf[order[i]] = i;
    }
    for (std::size_t i = order.size(); i-- > 0;) {
        StandinNode& node = *order[i];
        Json json = Json::object();
        if (IsValidUtf8(node.Name())) {
            json["name"] = node.Name();
        } else {
            json["nameHex"] = ToHex(node.Name());
        }
        json["transform"] = MatrixJson(node.Transform());
        if (!IsIdentity(node.ObjectOffset())) {
            json["objectOffset"] = MatrixJson(node.ObjectOffset());
        }
        const standin::StandinObject& object = node.GetObject();
        if (object.superClass != GEOMOBJECT_CLASS_ID || !object.objectTest) {
            json["object"] = Json{{"superClass", object.superClass}, {"objectTest", object.objectTest}};
        }
        if (!node.Children().empty()) {
            Json children = Json::array();
            for (StandinNode* child : node.Children()) {
                children.push_back(std::move(made[indexOf.at(child)]));
            }
            json["children"] = std::move(children);
        }
        made[i] = std::move(json);
    }
    Json document = Json::object();
    document["animationRange"] = Json::array({animationRange.start, animationRange.end});
    document["currentTime"] = currentTime;
    document["root"] = std::move(made[0]);
    if (!selection.empty()) {
        document["selection"] = selection;
    }
    std::string text;
    WritePretty(document, 0, text);
    return text + "\n";
}

namespace {

// The project's own scene file: everything it holds is in the document.
class JsonSceneFile final : public SceneFile {
public:
    explicit JsonSceneFile(SceneDocument document) { document_ = std::move(document); }

    std::string FormatName() const override { return "scene file"; }
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

std::unique_ptr<SceneFile> ReadScene(const std::string& path) { return ParseScene(ReadWholeFile(path), path); }

}  // namespace driver
