#include "json/json_writer.h"

#include "json/json_text.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!empty_.empty()) {
        if (!empty_.back()) {
            out_ += ',';
        }
        empty_.back() = false;
    }
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    out_ += bracket;
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    out_ += bracket;
    empty_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    out_ += '"';
    out_ += key;
    out_ += "\":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::Text(const std::string& text) {
    BeforeValue();
    if (IsValidUtf8(text)) {
        AppendJsonString(out_, text);
    } else {
        const std::string quoted = Quoted(text);
        AppendJsonString(out_, quoted.substr(1, quoted.size() - 2));
    }
    return *this;
}

JsonWriter& JsonWriter::Number(float value) {
    BeforeValue();
    AppendNumber(out_, value);
    return *this;
}

JsonWriter& JsonWriter::Count(std::size_t value) { return Raw(std::to_string(value)); }

JsonWriter& JsonWriter::Integer(long long value) { return Raw(std::to_string(value)); }

JsonWriter& JsonWriter::Bool(bool value) { return Raw(value ? "true" : "false"); }

JsonWriter& JsonWriter::Null() { return Raw("null"); }

JsonWriter& JsonWriter::Raw(std::string_view json) {
    BeforeValue();
    out_ += json;
    return *this;
}

JsonWriter& JsonWriter::Texts(std::string_view key, const std::vector<std::string>& texts) {
    Key(key).BeginArray();
    for (const std::string& text : texts) {
        Text(text);
    }
    return EndArray();
}

}  // namespace driver
