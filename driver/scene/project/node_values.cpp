#include "scene/project/node_values.h"

#include <cmath>

#include "text/hex_digits.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver {

using Token = SceneText::Token;

std::string ReadName(SceneText& text) {
    if (text.Next() != Token::String) {
        text.Fail("\"name\" must be a string");
    }
    if (text.Text().find('\0') != std::string_view::npos) {
        text.Fail("a name cannot hold a NUL character");
    }
    return std::string(text.Text());
}

std::string ReadHexName(SceneText& text) {
    static const std::string what = "\"nameHex\" must be a string of hexadecimal digits, two a byte, of non-NUL bytes";
    if (text.Next() != Token::String) {
        text.Fail(what);
    }
    const std::string_view hex = text.Text();
    if (hex.size() % 2 != 0) {
        text.Fail(what);
    }
    std::string name;
    name.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            text.Fail(what);
        }
        name += static_cast<char>(high * 16 + low);
    }
    return name;
}

NodeMatrix ReadMatrix(SceneText& text, const char* key) {
    // The message is made only when it is needed: every node has a matrix.
    const auto expect = [&text, key](Token token) {
        if (text.Next() != token) {
            text.Fail("\"" + std::string(key) + "\" must be four rows of three numbers");
        }
    };
    NodeMatrix matrix;
    expect(Token::BeginArray);
    for (int r = 0; r < 4; ++r) {
        expect(Token::BeginArray);
        for (int c = 0; c < 3; ++c) {
            expect(Token::Number);
            if (ReadNumber(text.Text(), matrix.row[r][c]) != NumberProblem::None) {
                text.Fail("\"" + std::string(key) + "\" holds " + Excerpt(std::string(text.Text())) +
                          ", which is not finite in single precision");
            }
        }
        expect(Token::EndArray);
    }
    expect(Token::EndArray);
    return matrix;
}

void ReadObject(SceneText& text, standin::StandinObject& object) {
    static const std::string what = "\"object\" must be {\"superClass\": number, \"objectTest\": true or false}";
    text.Expect(Token::BeginObject, what);
    bool hasSuperClass = false, hasTest = false;
    object.objectTest = true;
    while (text.Next() != Token::EndObject) {
        const std::string key(text.Text());
        if (key == "superClass" && !hasSuperClass) {
            hasSuperClass = true;
            if (text.Next() != Token::Number || !ReadInteger(text.Text(), object.superClass)) {
                text.Fail(what);
            }
        } else if (key == "objectTest" && !hasTest) {
            hasTest = true;
            const Token token = text.Next();
            if (token != Token::True && token != Token::False) {
                text.Fail(what);
            }
            object.objectTest = token == Token::True;
        } else {
            text.Fail(what);
        }
    }
    if (!hasSuperClass) {
        text.Fail(what);
    }
}

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

}  // namespace driver
