#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win32standin {

// A resource type, resource name or template field that is a number, a
// text, or absent (in templates: no menu, default class).
struct ResourceId {
    enum class Kind { None, Number, Text };
    Kind kind = Kind::None;
    std::uint16_t number = 0;
    std::string text;  // 8-bit form of the UTF-16 text

    static ResourceId Number(std::uint16_t n) { return {Kind::Number, n, {}}; }
    static ResourceId Text(std::string t) { return {Kind::Text, 0, std::move(t)}; }
    bool IsNumber(std::uint16_t n) const { return kind == Kind::Number && number == n; }
    // Numbers compare by value, texts without regard to case.
    bool Matches(const ResourceId& other) const;
    // "#5", "\"NAME\"" or "none", for messages.
    std::string ToString() const;
};

// Numeric resource types.
constexpr std::uint16_t kResourceCursor = 1;
constexpr std::uint16_t kResourceDialog = 5;
constexpr std::uint16_t kResourceString = 6;
constexpr std::uint16_t kResourceVersion = 16;

constexpr std::uint16_t kLanguageNeutral = 0;
constexpr std::uint16_t kLanguageEnglishUs = 1033;

// One resource of a compiled resource file, its data copied.
struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = 0;
    std::uint16_t memoryFlags = 0;
    std::uint32_t dataVersion = 0;
    std::uint32_t version = 0;
    std::uint32_t characteristics = 0;
    std::vector<std::uint8_t> data;
};

// Parses a .res file: a sequence of DWORD-aligned entries, each a header
// (data size, header size, type, name, data version, memory flags,
// language, version, characteristics) followed by its data. The leading
// empty entry (type 0) is skipped. False with a reason for a malformed file.
bool ParseResFile(const std::uint8_t* data, std::size_t size, std::vector<ResourceEntry>& entries, std::string& error);

// The entry of `type` and `name` in `language`; failing that the neutral
// language, failing that the first entry of that type and name; null when
// there is none.
const ResourceEntry* FindResource(const std::vector<ResourceEntry>& entries, const ResourceId& type,
                                  const ResourceId& name, std::uint16_t language = kLanguageEnglishUs);

}  // namespace win32standin
