#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/refusal.h"

namespace driver {

// A place in a text: line and column from 1, the column counted in bytes.
struct TextPlace {
    std::size_t line = 1;
    std::size_t column = 1;
};

// Text that is not JSON; `place` is where the reader stopped. The JSON
// that morvane-host reads is a scene file's, so such a text is a bad scene.
class JsonSyntaxError : public CodedError {
public:
    JsonSyntaxError(TextPlace where, const std::string& what) : CodedError(RefusalCode::BadScene, what), place(where) {}
    TextPlace place;
};

// Reads one JSON value (RFC 8259) from a text as a stream of tokens. Open
// containers are kept on a stack rather than on the call stack, so a text
// nested to any depth reads in time linear in its size. The grammar is
// checked as the tokens come: a token is only handed out where JSON allows
// it. Strings must be UTF-8; their escapes are decoded. A UTF-8 byte order
// mark before the value is passed over, as JSON allows readers to.
class JsonReader {
public:
    enum class Token { BeginObject, EndObject, BeginArray, EndArray, Key, String, Number, True, False, Null, End };

    // The text must outlive the reader.
    explicit JsonReader(std::string_view text);

    // The next token; End once the value is complete and only blanks follow.
    // Throws JsonSyntaxError.
    Token Next();
    // Key and String: the decoded text, valid until the next call (a view
    // of the text itself where the string has no escapes). Number: the
    // number as written.
    std::string_view Text() const { return view_; }
    // Number: its value, where it has at most kShortDigits digits and no
    // exponent, which one division gives exactly as from_chars would;
    // false for any other.
    bool ShortNumber(double& value) const;
    // Number: its value where it is a whole number of at most kShortDigits
    // digits without a sign, point or exponent; false for any other.
    bool WholeNumber(std::size_t& value) const {
        value = static_cast<std::size_t>(digits_);
        return shortNumber_ && fraction_ == 0 && !negative_;  // a point has digits after it
    }
    static constexpr std::size_t kShortDigits = 15;
    // Where the last token starts. No token spans a line end, so the line
    // that the blanks before it left is the token's line.
    TextPlace Place() const { return {line_, static_cast<std::size_t>(tokenStart_ - lineStart_) + 1}; }
    // The bytes of the last token in the text, from its first byte to just
    // after its last (a key with its quotes, a bracket alone).
    std::size_t TokenBegin() const { return static_cast<std::size_t>(tokenStart_ - begin_); }
    std::size_t TokenEnd() const { return static_cast<std::size_t>(at_ - begin_); }
    // After BeginObject or BeginArray: reads on to the matching end, which
    // is then the last token.
    void SkipContainer();

private:
    enum class Expect { Value, FirstValueOrEnd, FirstKeyOrEnd, Key, Colon, CommaOrEnd, Nothing };

    bool PassSeparator();
    Token ReadValue();
    Token ReadLiteral();
    Token Close();
    void AfterValue();
    void ReadString();
    void ReadDecodedString(const char* start);
    void ReadEscape();
    void SkipUtf8OrFail(unsigned char c);
    void ReadNumber();
    void SkipBlanks();
    TextPlace Here() const;
    // Cold: the hot paths keep no frame for building its message.
    [[noreturn]] [[gnu::cold]] [[gnu::noinline]] void Fail(const std::string& what) const;
    [[noreturn]] [[gnu::cold]] [[gnu::noinline]] void FailFound(const char* before, char c,
                                                                const char* after = "") const;

    const char* begin_;
    const char* at_;
    const char* end_;
    const char* tokenStart_;
    const char* lineStart_;
    std::size_t line_ = 1;
    Expect expect_ = Expect::Value;
    std::vector<char> open_;    // '{' or '[' of each open container
    std::uint64_t digits_ = 0;  // of the last number, without its point
    std::size_t fraction_ = 0;  // how many of them follow the point
    bool negative_ = false;
    bool shortNumber_ = false;
    std::string decoded_;  // a string with escapes, decoded
    std::string_view view_;
};

}  // namespace driver
