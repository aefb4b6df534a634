#include "scene/project/node_tree_reader.h"

#include <utility>
#include <vector>

#include "scene/project/node_values.h"
#include "text/name_text.h"

namespace driver {

namespace {

using standin::StandinNode;
using Token = SceneText::Token;

enum class NodeKey { Name, NameHex, Transform, ObjectOffset, Object, Children, Unknown };

NodeKey NodeKeyOf(std::string_view key) {
    static const std::pair<const char*, NodeKey> kKeys[] = {
        {"name", NodeKey::Name},       {"transform", NodeKey::Transform},       {"children", NodeKey::Children},
        {"nameHex", NodeKey::NameHex}, {"objectOffset", NodeKey::ObjectOffset}, {"object", NodeKey::Object},
    };
    for (const auto& [text, value] : kKeys) {
        if (key == text) {
            return value;
        }
    }
    return NodeKey::Unknown;
}

class NodeTreeReader {
public:
    NodeTreeReader(SceneText& text, standin::StandinScene& scene) : text_(text), scene_(scene) {}

    void Read() {
        text_.Expect(Token::BeginObject, "\"root\" must be a node (an object)");
        Open(scene_.Root());
        while (!open_.empty()) {
            if (open_.back().inChildren) {
                ReadChildrenItem();
            } else if (text_.Next() == Token::EndObject) {
                Close();
            } else {
                ReadMember();
            }
        }
        text_.LeaveNodes();
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

    void Open(StandinNode& node) {
        open_.push_back({&node, made_++, text_.Place()});
        text_.SetNode(open_.back().index, nullptr);
    }

    void Close() {
        const Node& node = open_.back();
        if (!node.named) {
            text_.Fail(node.opened, "the node needs a \"name\" or a \"nameHex\"");
        }
        if (!node.hasTransform) {
            text_.Fail(node.opened, "the node needs a \"transform\"");
        }
        open_.pop_back();
        if (!open_.empty()) {
            const Node& parent = open_.back();
            text_.SetNode(parent.index, parent.named ? &parent.node->Name() : nullptr);
        }
    }

    void ReadChildrenItem() {
        const Token token = text_.Next();
        if (token == Token::EndArray) {
            open_.back().inChildren = false;
        } else if (token == Token::BeginObject) {
            Open(scene_.AddNode(*open_.back().node, ""));
        } else {
            text_.Fail("\"children\" must be an array of nodes (objects)");
        }
    }

    void Once(bool& seen, const std::string& what) {
        if (seen) {
            text_.Fail(what);
        }
        seen = true;
    }

    void ReadMember() {
        const NodeKey key = NodeKeyOf(text_.Text());
        Node& node = open_.back();
        switch (key) {
            case NodeKey::Name:
            case NodeKey::NameHex:
                Once(node.named, "has more than one of \"name\" and \"nameHex\"");
                node.named = false;  // messages show no name until it is read
                node.node->SetName(key == NodeKey::Name ? ReadName(text_) : ReadHexName(text_));
                node.named = true;
                text_.SetNode(node.index, &node.node->Name());
                break;
            case NodeKey::Transform:
                Once(node.hasTransform, "\"transform\" is given twice");
                ReadTransform(node);
                break;
            case NodeKey::ObjectOffset:
                Once(node.hasOffset, "\"objectOffset\" is given twice");
                node.node->SetObjectOffset(ReadMatrix(text_, "objectOffset"));
                break;
            case NodeKey::Object:
                Once(node.hasObject, "\"object\" is given twice");
                ReadObject(text_, node.node->GetObject());
                break;
            case NodeKey::Children:
                Once(node.hasChildren, "\"children\" is given twice");
                text_.Expect(Token::BeginArray, "\"children\" must be an array of nodes (objects)");
                node.inChildren = true;
                break;
            case NodeKey::Unknown:
                text_.Fail("unknown key " + QuotedExcerpt(std::string(text_.Text())));
        }
    }

    // The host's root does not move, so the root's transform can only be
    // the identity.
    void ReadTransform(Node& node) {
        const TextPlace keyPlace = text_.Place();
        const NodeMatrix transform = ReadMatrix(text_, "transform");
        if (node.index != 0) {
            node.node->SetTransform(transform);
        } else if (!IsIdentity(transform)) {
            text_.Fail(keyPlace, "the root's \"transform\" must be the identity (the host's root does not move)");
        }
    }

    SceneText& text_;
    standin::StandinScene& scene_;
    std::vector<Node> open_;  // the nodes being read, the innermost last
    std::size_t made_ = 0;
};

}  // namespace

void ReadNodeTree(SceneText& text, standin::StandinScene& scene) { NodeTreeReader(text, scene).Read(); }

}  // namespace driver
