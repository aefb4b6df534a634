#include "json/json_writer.h"

#include "json/json_text.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "text/refusal.h"
#include "text/utf8.h"

namespace driver {

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!open_.empty()) {
        if (!open_.back().empty) {
            out_ += ',';
        }
        open_.back().empty = false;
    }
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    out_ += bracket;
    open_.push_back({bracket == '{' ? '}' : ']', true});
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    if (open_.empty() || open_.back().close != bracket || afterKey_) {
        throw CodedError(RefusalCode::Failed,
                         std::string("JSON writer: '") + bracket + "' ends no open value of its kind");
    }
    out_ += bracket;
    open_.pop_back();
    return *this;
}

std::string JsonWriter::Take() {
    if (!open_.empty() || afterKey_) {
        throw CodedError(RefusalCode::Failed, "JSON writer: the text is taken with a value still open");
    }
    return std::move(out_);
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
    AppendJsonString(out_, IsValidUtf8(text) ? text : AsUtf8Text(text));
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
