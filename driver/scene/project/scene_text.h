#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_reader.h"

namespace driver {

// The text of a scene file as it is read: its JSON tokens, and the place of
// a problem, the node being read included.
class SceneText {
public:
    using Token = JsonReader::Token;

    // The text must outlive the reader; `path` names it in messages.
    SceneText(std::string_view text, std::string path) : json_(text), path_(std::move(path)) {}

    Token Next() { return json_.Next(); }
    std::string_view Text() const { return json_.Text(); }
    TextPlace Place() const { return json_.Place(); }

    // The node being read, for messages: its pre-order index, and its name
    // once that has been read (null before).
    void SetNode(std::size_t index, const std::string* name) {
        node_ = index;
        name_ = name;
    }
    void LeaveNodes() { node_.reset(); }

    // Throws SceneFileError: "FILE:LINE:COLUMN: node 5 "Chair": WHAT".
    [[noreturn]] void Fail(TextPlace place, const std::string& what) const;
    // The same at the last token.
    [[noreturn]] void Fail(const std::string& what) const { Fail(json_.Place(), what); }
    // Reads the next token, and fails with `what` unless it is `expected`.
    void Expect(Token expected, const std::string& what) {
        if (json_.Next() != expected) {
            Fail(what);
        }
    }

private:
    JsonReader json_;
    std::string path_;
    std::optional<std::size_t> node_;
    const std::string* name_ = nullptr;
};

}  // namespace driver
