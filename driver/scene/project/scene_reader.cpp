#include <cstdint>
#include <vector>

#include "files/input_file.h"
#include "scene/node_index.h"
#include "scene/project/node_tree_reader.h"
#include "scene/project/scene_file.h"
#include "scene/project/scene_text.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver {

namespace {

using Token = SceneText::Token;

// Reads the members of a scene file's object: the node tree, the animation
// range, the current time and the selection.
class SceneReader {
public:
    SceneReader(const std::string& text, std::string path) : text_(text, std::move(path)) {}

    SceneDocument Read() {
        try {
            ReadDocument();
        } catch (const JsonSyntaxError& e) {
            text_.Fail(e.place, std::string("malformed JSON: ") + e.what());
        }
        return std::move(document_);
    }

private:
    struct Selected {
        std::uint64_t index;
        TextPlace place;
    };

    void ReadDocument() {
        text_.Expect(Token::BeginObject, "the file must hold one JSON object");
        bool range = false, time = false, root = false, selection = false;
        auto once = [this](bool& seen, const std::string& key) {
            if (seen) {
                text_.Fail(QuotedExcerpt(key) + " is given twice");
            }
            seen = true;
        };
        while (text_.Next() != Token::EndObject) {
            const std::string key(text_.Text());
            if (key == "animationRange") {
                once(range, key);
                ReadRange();
            } else if (key == "currentTime") {
                once(time, key);
                document_.currentTime = ReadTime("\"currentTime\" must be an integer");
            } else if (key == "root") {
                once(root, key);
                document_.scene = std::make_unique<standin::StandinScene>();
                ReadNodeTree(text_, *document_.scene);
            } else if (key == "selection") {
                once(selection, key);
                ReadSelection();
            } else {
                text_.Fail("unknown key " + QuotedExcerpt(key));
            }
        }
        const TextPlace end = text_.Place();
        text_.Next();
        if (!root) {
            text_.Fail(end, "the file needs a \"root\" node");
        }
        CheckSelection();
    }

    TimeValue ReadTime(const std::string& what) {
        TimeValue value = 0;
        if (text_.Next() != Token::Number || !ReadInteger(text_.Text(), value)) {
            text_.Fail(what);
        }
        return value;
    }

    void ReadRange() {
        const std::string what = "\"animationRange\" must be [start, end], two integers";
        text_.Expect(Token::BeginArray, what);
        document_.animationRange.start = ReadTime(what);
        document_.animationRange.end = ReadTime(what);
        text_.Expect(Token::EndArray, what);
    }

    void ReadSelection() {
        const std::string what = "\"selection\" must be an array of node indices";
        text_.Expect(Token::BeginArray, what);
        for (Token token = text_.Next(); token != Token::EndArray; token = text_.Next()) {
            std::uint64_t index = 0;
            if (token != Token::Number || !ReadInteger(text_.Text(), index)) {
                text_.Fail(what);
            }
            selected_.push_back({index, text_.Place()});
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
                text_.Fail(item.place, "selection: node " + index + " is not in the scene (its nodes are 0 to " +
                                           std::to_string(count - 1) + ")");
            }
            if (item.index == 0) {
                text_.Fail(item.place, std::string("selection: ") + kRootNotSelectable);
            }
            const auto node = static_cast<std::size_t>(item.index);
            if (taken[node]) {
                text_.Fail(item.place, "selection: node " + index + " is selected twice");
            }
            taken[node] = true;
            document_.selection.push_back(node);
        }
    }

    SceneText text_;
    SceneDocument document_;
    std::vector<Selected> selected_;
};

}  // namespace

SceneDocument ParseSceneFile(const std::string& text, const std::string& source) {
    return SceneReader(text, source).Read();
}

SceneDocument ReadSceneFile(const std::string& path) { return ParseSceneFile(ReadInputFile(path), path); }

}  // namespace driver
