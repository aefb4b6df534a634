// The JSON writer: any bytes give a JSON string that reads back as the
// transcript shows them, and only well-nested calls give a text.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "json/json_writer.h"
#include "text/name_text.h"
#include "text/refusal.h"

namespace {

TEST(JsonWriter, AnyBytesReadBackAsTheTranscriptShowsThem) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 12), byte(0, 255), pick(0, 3);
    const std::string special = "\"\\\n\x01\x7f";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int i = length(random); i > 0; --i) {
            // Mostly ASCII with the characters JSON escapes, some bytes of any value.
            text += pick(random) == 0   ? static_cast<char>(byte(random))
                    : pick(random) == 0 ? special[static_cast<std::size_t>(byte(random)) % special.size()]
                                        : static_cast<char>('a' + byte(random) % 26);
        }
        driver::JsonWriter writer;
        writer.BeginObject().Key("text").Text(text).EndObject();
        const nlohmann::json read = nlohmann::json::parse(writer.Take());
        EXPECT_EQ(read.at("text").get<std::string>(), driver::AsUtf8Text(text)) << driver::Quoted(text);
    }
}

TEST(JsonWriter, OnlyWellNestedCallsGiveAText) {
    const auto nested = [](auto calls) {
        driver::JsonWriter writer;
        calls(writer);
        return writer.Take();
    };
    EXPECT_EQ(nested([](driver::JsonWriter& w) {
                  w.BeginObject().Key("a").BeginArray().Count(1).Null().EndArray().EndObject();
              }),
              "{\"a\":[1,null]}");
    const std::function<void(driver::JsonWriter&)> wrong[] = {
        [](driver::JsonWriter& w) { w.EndObject(); },
        [](driver::JsonWriter& w) { w.BeginObject().EndArray(); },
        [](driver::JsonWriter& w) { w.BeginArray().EndObject(); },
        [](driver::JsonWriter& w) { w.BeginObject().Key("a").EndObject(); },
        [](driver::JsonWriter& w) { w.BeginObject(); },
        [](driver::JsonWriter& w) { w.BeginObject().Key("a"); },
    };
    for (const auto& calls : wrong) {
        EXPECT_THROW(nested(calls), driver::CodedError);
    }
}

}  // namespace
