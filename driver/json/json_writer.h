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
// ASCII, written as they are.
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

    // A text; bytes that are not UTF-8 are shown as \xHH, as the
    // transcript shows them.
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

    std::string Take() { return std::move(out_); }

private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    void BeforeValue();

    std::string out_;
    std::vector<bool> empty_;  // of each array and object open: nothing in it yet
    bool afterKey_ = false;
};

}  // namespace driver
