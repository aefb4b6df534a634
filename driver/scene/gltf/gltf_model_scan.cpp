// The one pass over a glTF file's JSON: the syntax of the whole text is
// checked, the members of the file's object are found, and the nodes are
// read as the tokens come, so that the text of "nodes", nearly all of a
// large file, is tokenised once. A node that reads plainly costs no more;
// what may have to be refused is left to the careful read after the pass,
// which knows the number of nodes and says what is wrong and where.
#include <algorithm>
#include <cstring>

#include "scene/gltf/gltf_model_reader.h"
#include "scene/scene_error.h"
#include "text/number_text.h"

namespace driver::gltf::model_reading {

namespace {

using Token = JsonReader::Token;

enum class NodeKey { Name, Children, Matrix, Translation, Rotation, Scale, Mesh, Camera, Skin, Weights, Extras, Other };

NodeKey NodeKeyOf(std::string_view key) {
    // The most common first.
    static constexpr std::pair<std::string_view, NodeKey> kKeys[] = {
        {"name", NodeKey::Name},         {"translation", NodeKey::Translation},
        {"rotation", NodeKey::Rotation}, {"scale", NodeKey::Scale},
        {"mesh", NodeKey::Mesh},         {"children", NodeKey::Children},
        {"matrix", NodeKey::Matrix},     {"camera", NodeKey::Camera},
        {"skin", NodeKey::Skin},         {"weights", NodeKey::Weights},
        {"extras", NodeKey::Extras},
    };
    for (const auto& [text, value] : kKeys) {
        if (text == key) {
            return value;
        }
    }
    return NodeKey::Other;
}

// A parameter of 64 bits, so that the test means the same where size_t has 32.
bool FitsIn32Bits(std::uint64_t size) { return size <= UINT32_MAX; }

// The number just read as an index, as JsonValue::Index reads it; short
// ones from the digits the reader gathered.
std::optional<std::size_t> IndexOf(const JsonReader& reader) {
    std::size_t index = 0;
    return reader.WholeNumber(index) ? std::optional<std::size_t>(index) : IndexOfNumber(reader.Text());
}

// An array of `count` numbers that single precision holds, into `out`;
// false, with the array read to its end, for anything else.
bool ScanNumbers(JsonReader& reader, Token first, std::size_t count, double* out) {
    if (first != Token::BeginArray) {
        ValueAfter(reader, first);
        return false;
    }
    std::size_t read = 0;
    bool plain = true;
    for (Token token = reader.Next(); token != Token::EndArray; token = reader.Next()) {
        if (token != Token::Number || read == count ||
            (!reader.ShortNumber(out[read]) && ReadSingleNumber(reader.Text(), out[read]) != NumberProblem::None)) {
            ValueAfter(reader, token);
            plain = false;
        } else {
            ++read;
        }
    }
    return plain && read == count;
}

bool ScanIndex(JsonReader& reader, Token first) {
    if (first == Token::Number && IndexOf(reader)) {
        return true;
    }
    ValueAfter(reader, first);
    return false;
}

// The children, appended to `children`; false for any that the careful
// read must judge.
bool ScanChildren(JsonReader& reader, Token first, std::vector<std::uint32_t>& children) {
    if (first != Token::BeginArray) {
        ValueAfter(reader, first);
        return false;
    }
    bool plain = true;
    for (Token token = reader.Next(); token != Token::EndArray; token = reader.Next()) {
        const auto index = token == Token::Number ? IndexOf(reader) : std::nullopt;
        if (index && *index < kMaxNodes && children.size() < UINT32_MAX) {
            children.push_back(static_cast<std::uint32_t>(*index));
        } else {
            ValueAfter(reader, token);
            plain = false;
        }
    }
    return plain;
}

// A node's name: plain when it is a string without NUL; kept as written.
bool ScanName(JsonReader& reader, Token token, NodeEntry& node) {
    if (token != Token::String) {
        ValueAfter(reader, token);
        return false;
    }
    node.SetName({reader.TokenBegin(), reader.TokenEnd()});
    return reader.Text().find('\0') == std::string_view::npos;
}

}  // namespace

std::vector<JsonMember> ModelReader::ScanDocument(GltfModel& model) {
    std::vector<JsonMember> members;
    try {
        JsonReader reader(json_);
        const Token first = reader.Next();
        if (first != Token::BeginObject) {
            ValueAfter(reader, first);
            reader.Next();  // the end, or a JsonSyntaxError for what follows
            Fail("the file", "must hold one JSON object");
        }
        bool nodesRead = false;
        while (reader.Next() == Token::Key) {
            const Span key{reader.TokenBegin(), reader.TokenEnd()};
            std::string name(reader.Text());
            const Token token = reader.Next();
            const std::size_t begin = reader.TokenBegin();
            if (name == "nodes" && token == Token::BeginArray && !nodesRead) {
                ScanNodes(reader, model);
                nodesRead = true;
            } else {
                ValueAfter(reader, token);
            }
            members.push_back({std::move(name), key, JsonValue(json_, {begin, reader.TokenEnd()})});
        }
        reader.Next();  // the end, or a JsonSyntaxError for what follows
    } catch (const JsonSyntaxError& e) {
        ScenePlace place;
        place.text = e.place;
        throw SceneFileError(SceneErrorText(source_, place, std::string("malformed JSON: ") + e.what()));
    }
    return members;
}

void ModelReader::ScanNodes(JsonReader& reader, GltfModel& model) {
    for (Token token = reader.Next(); token != Token::EndArray; token = reader.Next()) {
        const std::size_t index = model.nodes.size();
        if (index == kMaxNodes) {
            Fail("nodes", Span{reader.TokenBegin(), reader.TokenEnd()},
                 "holds more than " + std::to_string(kMaxNodes) + " nodes, more than the tools can read");
        }
        NodeEntry& node = model.nodes.emplace_back();
        bool plain = token == Token::BeginObject;
        if (plain) {
            node.object.begin = reader.TokenBegin();
            plain = ScanNode(reader, node, index, model);
            node.object.end = reader.TokenEnd();
        } else {
            node.object = ValueAfter(reader, token);
        }
        if (!FitsIn32Bits(node.object.end - node.object.begin)) {
            Fail(NodeName(index), node.object, "is 4 GiB or more, more than the tools can read");
        }
        readAgain_.push_back(!plain);
    }
}

bool ModelReader::ScanNode(JsonReader& reader, NodeEntry& node, std::size_t index, GltfModel& model) {
    bool plain = true;
    ScannedNode scanned;
    Trs& trs = scanned.trs;
    // A transform member's numbers, and where its array begins.
    const auto numbers = [&](Token token, int slot, std::size_t count, double* into) {
        scanned.transformAt[slot] = reader.TokenBegin() - node.object.begin;
        return ScanNumbers(reader, token, count, into);
    };
    node.firstChild = static_cast<std::uint32_t>(model.children.size());
    while (reader.Next() == Token::Key) {
        const NodeKey key = NodeKeyOf(reader.Text());
        const unsigned bit = 1u << static_cast<unsigned>(key);
        plain = plain && key != NodeKey::Other && (scanned.seen & bit) == 0;
        scanned.seen |= bit;
        const Token token = reader.Next();
        switch (key) {
            case NodeKey::Name:
                plain = ScanName(reader, token, node) && plain;
                break;
            case NodeKey::Children:
                plain = ScanChildren(reader, token, model.children) && plain;
                break;
            case NodeKey::Matrix:
                plain = numbers(token, 0, 16, scanned.matrix) && plain;
                break;
            case NodeKey::Translation:
                plain = numbers(token, 0, 3, trs.translation) && plain;
                break;
            case NodeKey::Rotation:
                plain = numbers(token, 1, 4, trs.rotation) && plain;
                break;
            case NodeKey::Scale:
                plain = numbers(token, 2, 3, trs.scale) && plain;
                break;
            case NodeKey::Mesh:
            case NodeKey::Camera:
                plain = ScanIndex(reader, token) && plain;
                (key == NodeKey::Mesh ? scanned.mesh : scanned.camera) = true;
                break;
            case NodeKey::Extras:
                extras_.push_back({index, ValueAfter(reader, token)});
                break;
            case NodeKey::Skin:
                node.skinned = true;
                ValueAfter(reader, token);
                break;
            case NodeKey::Weights:
                scanned.weights = true;
                ValueAfter(reader, token);
                break;
            case NodeKey::Other:
                ValueAfter(reader, token);
                break;
        }
    }
    return KeepScanned(plain, scanned, node, index, model);
}

bool ModelReader::KeepScanned(bool plain, ScannedNode& scanned, NodeEntry& node, std::size_t index, GltfModel& model) {
    if (!plain) {
        model.children.resize(node.firstChild);  // the careful read reads them again
        return false;
    }
    node.childCount = static_cast<std::uint32_t>(model.children.size() - node.firstChild);
    const auto has = [&scanned](NodeKey key) { return (scanned.seen & (1u << static_cast<unsigned>(key))) != 0; };
    const bool hasMatrix = has(NodeKey::Matrix);
    if (hasMatrix && (has(NodeKey::Translation) || has(NodeKey::Rotation) || has(NodeKey::Scale))) {
        return false;
    }
    const double* matrix = scanned.matrix;
    if (hasMatrix ? matrix[3] != 0 || matrix[7] != 0 || matrix[11] != 0 || matrix[15] != 1
                  : !IsRotation(scanned.trs.rotation)) {
        return false;
    }
    const std::size_t* transformAt = scanned.transformAt;
    if (std::max({transformAt[0], transformAt[1], transformAt[2]}) < NodeEntry::kKeptLocal) {
        for (int slot = 0; slot < 3; ++slot) {
            node.transformAt[slot] = static_cast<std::uint16_t>(transformAt[slot]);
        }
        if (hasMatrix) {
            FinishLocal(node, scanned.trs, &scanned.matrix);  // for its signs of scale
        } else {
            NoteSignsOfScale(node, scanned.trs);  // the transform itself is made when the scene is built
            model.scannedTrs.Set(index, scanned.trs);
        }
    } else {
        node.transformAt[0] = NodeEntry::kKeptLocal;
        model.keptLocals.insert_or_assign(index, FinishLocal(node, scanned.trs, hasMatrix ? &scanned.matrix : nullptr));
    }
    const bool mesh = scanned.mesh, camera = scanned.camera;
    node.objectKind = mesh ? NodeEntry::kGeometry : camera ? NodeEntry::kCamera : NodeEntry::kHelper;
    node.weighted = scanned.weights;
    node.ownsObject = mesh || camera || node.skinned || scanned.weights;
    node.holdsObject = mesh || camera;
    return true;
}

}  // namespace driver::gltf::model_reading
