#include "json/json_reader.h"

#include <cstdint>
#include <cstring>
#include <tuple>

#include "text/hex_digits.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

namespace {

// Bytes that stand for themselves in a string: printable ASCII but '"'
// and '\\'. A table keeps the scan of long strings to one load a byte.
struct PlainBytes {
    bool plain[256] = {};
    PlainBytes() {
        for (int c = 0x20; c < 0x80; ++c) {
            plain[c] = c != '"' && c != '\\';
        }
    }
};
const PlainBytes kPlain;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
        std::string shown = "byte 0x";
        AppendHexByte(shown, byte);
        return shown;
    }
    return std::string("'") + c + "'";
}

}  // namespace

JsonReader::JsonReader(std::string_view text)
    : begin_(text.data()),
      at_(text.data()),
      end_(text.data() + text.size()),
      tokenStart_(text.data()),
      lineStart_(text.data()) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        at_ += 3;
    }
}

TextPlace JsonReader::Here() const { return {line_, static_cast<std::size_t>(at_ - lineStart_) + 1}; }

void JsonReader::Fail(const std::string& what) const { throw JsonSyntaxError(Here(), what); }

void JsonReader::FailFound(const char* before, char c, const char* after) const { Fail(before + Shown(c) + after); }

inline void JsonReader::SkipBlanks() {
    while (at_ != end_ && static_cast<unsigned char>(*at_) <= ' ') {
        if (*at_ == '\n') {
            ++line_;
            lineStart_ = at_ + 1;
        } else if (*at_ != ' ' && *at_ != '\t' && *at_ != '\r') {
            return;
        }
        ++at_;
    }
}

// The ':' after a key or the ',' between values, passed here so that a
// token begins after them; true where the container closes instead, its
// bracket then being the token.
inline bool JsonReader::PassSeparator() {
    if (at_ == end_) {
        Fail("the text ends inside an unclosed value");
    }
    const char c = *at_;
    if (expect_ == Expect::Colon) {
        if (c != ':') {
            FailFound("expected ':' after the key, found ", c);
        }
        expect_ = Expect::Value;
    } else {
        const bool inObject = open_.back() == '{';
        if (c == (inObject ? '}' : ']')) {
            tokenStart_ = at_;
            return true;
        }
        if (c != ',') {
            FailFound(inObject ? "expected ',' or '}' after an object member, found "
                               : "expected ',' or ']' after an array item, found ",
                      c);
        }
        expect_ = inObject ? Expect::Key : Expect::Value;
    }
    ++at_;
    SkipBlanks();
    return false;
}

JsonReader::Token JsonReader::Next() {
    SkipBlanks();
    if ((expect_ == Expect::Colon || expect_ == Expect::CommaOrEnd) && PassSeparator()) {
        return Close();
    }
    tokenStart_ = at_;
    if (at_ == end_) {
        if (expect_ == Expect::Nothing) {
            return Token::End;
        }
        Fail(open_.empty() ? "the text holds no value" : "the text ends inside an unclosed value");
    }
    const char c = *at_;
    switch (expect_) {
        case Expect::FirstKeyOrEnd:
            if (c == '}') {
                return Close();
            }
            [[fallthrough]];
        case Expect::Key:
            if (c != '"') {
                FailFound("expected a key in double quotes, found ", c);
            }
            ReadString();
            expect_ = Expect::Colon;
            return Token::Key;
        case Expect::FirstValueOrEnd:
            if (c == ']') {
                return Close();
            }
            [[fallthrough]];
        case Expect::Value:
            return ReadValue();
        default:  // Nothing: the value is complete
            FailFound("unexpected ", c, " after the end of the value");
    }
}

inline JsonReader::Token JsonReader::ReadValue() {
    const char c = *at_;
    if (c == '{' || c == '[') {
        open_.push_back(c);
        ++at_;
        expect_ = c == '{' ? Expect::FirstKeyOrEnd : Expect::FirstValueOrEnd;
        return c == '{' ? Token::BeginObject : Token::BeginArray;
    }
    Token token;
    if (c == '"') {
        ReadString();
        token = Token::String;
    } else if (c == '-' || IsDigit(c)) {
        ReadNumber();
        token = Token::Number;
    } else {
        token = ReadLiteral();
    }
    AfterValue();
    return token;
}

JsonReader::Token JsonReader::ReadLiteral() {
    const auto rest = static_cast<std::size_t>(end_ - at_);
    for (const auto& [text, length, token] :
         {std::tuple{"true", 4u, Token::True}, std::tuple{"false", 5u, Token::False},
          std::tuple{"null", 4u, Token::Null}}) {
        if (rest >= length && std::memcmp(at_, text, length) == 0) {
            at_ += length;
            return token;
        }
    }
    FailFound("expected a value, found ", *at_);
}

JsonReader::Token JsonReader::Close() {
    const bool object = open_.back() == '{';
    open_.pop_back();
    ++at_;
    AfterValue();
    return object ? Token::EndObject : Token::EndArray;
}

void JsonReader::SkipContainer() {
    const std::size_t depth = open_.size();
    while (open_.size() >= depth) {
        Next();
    }
}

void JsonReader::AfterValue() { expect_ = open_.empty() ? Expect::Nothing : Expect::CommaOrEnd; }

// Most strings have no escapes: they are checked in place and handed out
// as a view of the text; the first escape switches to decoding a copy.
void JsonReader::ReadString() {
    const char* start = ++at_;  // after the opening quote
    for (;;) {
        while (at_ != end_ && kPlain.plain[static_cast<unsigned char>(*at_)]) {
            ++at_;
        }
        if (at_ == end_) {
            Fail("the text ends inside a string");
        }
        const auto c = static_cast<unsigned char>(*at_);
        if (c == '"') {
            view_ = std::string_view(start, static_cast<std::size_t>(at_ - start));
            ++at_;
            return;
        }
        if (c == '\\') {
            ReadDecodedString(start);
            return;
        }
        SkipUtf8OrFail(c);
    }
}

void JsonReader::ReadDecodedString(const char* start) {
    decoded_.assign(start, at_);
    for (;;) {
        const auto c = static_cast<unsigned char>(*at_);
        if (c == '"') {
            ++at_;
            view_ = decoded_;
            return;
        }
        const char* run = at_;
        if (c == '\\') {
            ReadEscape();
        } else {
            SkipUtf8OrFail(c);
            decoded_.append(run, at_);
        }
        run = at_;
        while (at_ != end_ && kPlain.plain[static_cast<unsigned char>(*at_)]) {
            ++at_;
        }
        decoded_.append(run, at_);
        if (at_ == end_) {
            Fail("the text ends inside a string");
        }
    }
}

void JsonReader::SkipUtf8OrFail(unsigned char c) {
    if (c < 0x80) {
        FailFound("a string holds the control character ", *at_, " unescaped");
    }
    const std::size_t length = Utf8CharacterLength(at_, end_);
    if (length == 0) {
        FailFound("a string holds ", *at_, ", which is not UTF-8");
    }
    at_ += length;
}

void JsonReader::ReadEscape() {
    ++at_;  // the backslash
    if (at_ == end_) {
        Fail("the text ends inside a string");
    }
    static constexpr char kEscapes[] = "\"\\/bfnrt";
    static constexpr char kDecoded[] = "\"\\/\b\f\n\r\t";
    const char c = *at_;
    const char* simple = c != '\0' ? std::strchr(kEscapes, c) : nullptr;
    if (simple != nullptr) {
        decoded_ += kDecoded[simple - kEscapes];
        ++at_;
        return;
    }
    if (c != 'u') {
        Fail("\\" + std::string(1, c) + " is not an escape of JSON");
    }
    auto unit = [this]() {
        // at_ is on the 'u'
        std::uint32_t value = 0;
        for (int i = 1; i <= 4; ++i) {
            const int digit = at_ + i < end_ ? HexValue(at_[i]) : -1;
            if (digit < 0) {
                Fail("\\u must be followed by four hexadecimal digits");
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        at_ += 5;
        return value;
    };
    std::uint32_t code = unit();
    if (code >= 0xD800 && code <= 0xDBFF) {
        if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') {
            Fail("a \\u escape of a high surrogate must be followed by one of a low surrogate");
        }
        ++at_;
        const std::uint32_t low = unit();
        if (low < 0xDC00 || low > 0xDFFF) {
            Fail("a \\u escape of a high surrogate must be followed by one of a low surrogate");
        }
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
        Fail("a \\u escape of a low surrogate without a high one");
    }
    AppendUtf8(decoded_, code);
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
// The digits are gathered on the way, for ShortNumber.
inline void JsonReader::ReadNumber() {
    const char* start = at_;
    std::uint64_t digits = 0;
    std::size_t count = 0;
    auto read = [&]() {
        const char* first = at_;
        for (; at_ != end_ && IsDigit(*at_); ++at_) {
            digits = digits * 10 + static_cast<std::uint64_t>(*at_ - '0');
        }
        count += static_cast<std::size_t>(at_ - first);
        return at_ != first;
    };
    negative_ = *at_ == '-';
    if (negative_) {
        ++at_;
    }
    if (at_ != end_ && *at_ == '0') {
        ++at_;
        count = 1;
    } else if (!read()) {
        Fail("a number needs a digit after '-'");
    }
    const std::size_t whole = count;
    if (at_ != end_ && *at_ == '.') {
        ++at_;
        if (!read()) {
            Fail("a number needs a digit after its decimal point");
        }
    }
    digits_ = digits;
    fraction_ = count - whole;
    shortNumber_ = count <= kShortDigits;
    if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
        shortNumber_ = false;
        ++at_;
        if (at_ != end_ && (*at_ == '+' || *at_ == '-')) {
            ++at_;
        }
        if (!read()) {
            Fail("a number needs a digit in its exponent");
        }
    }
    view_ = std::string_view(start, static_cast<std::size_t>(at_ - start));
}

bool JsonReader::ShortNumber(double& value) const {
    if (!shortNumber_) {
        return false;
    }
    value = DecimalOfDigits(digits_, fraction_, negative_);
    return true;
}

}  // namespace driver
