#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

// Writes compact JSON in the order of the calls, with the commas between
// an array's values and an object's members. A member is Key() followed by
// one value (or an array or object); Take() hands over the text once every
// array and object begun has ended. Keys are the writer's own names, plain
// ASCII, written as they are. A close that ends no open array or object of
// its kind, and a Take() while one is open, throw a CodedError: the
// text would not be JSON.
class JsonWriter {
public:
    JsonWriter() = default;
    // Room for about `bytes` of text, made once.
    explicit JsonWriter(std::size_t bytes) { out_.reserve(bytes); }

    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    JsonWriter& Key(std::string_view key);

    // A text, as AsUtf8Text gives it: a text that is not UTF-8 has its
    // bytes from 0x80 up as \xHH, as the transcript shows them.
    JsonWriter& Text(const std::string& text);
    JsonWriter& Number(float value);
    JsonWriter& Count(std::size_t value);
    JsonWriter& Integer(long long value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // A value written as JSON already.
    JsonWriter& Raw(std::string_view json);
    // A member whose value is a list of texts.
    JsonWriter& Texts(std::string_view key, const std::vector<std::string>& texts);

    std::string Take();

private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    void BeforeValue();

    std::string out_;
    struct Nesting {
        char close;  // the bracket that ends it
        bool empty;  // nothing in it yet
    };
    std::vector<Nesting> open_;  // each array and object begun and not ended
    bool afterKey_ = false;
};

}  // namespace driver
