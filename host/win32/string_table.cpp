#include "win32/string_table.h"

#include "win32/byte_reader.h"

namespace win32standin {

bool ParseStringBlock(const std::vector<std::uint8_t>& data, std::vector<std::u16string>& strings) {
    strings.assign(16, std::u16string());
    ByteReader reader(data.data(), data.size());
    for (std::u16string& text : strings) {
        const std::uint16_t length = reader.Word();
        for (std::uint16_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char16_t>(reader.Word()));
        }
        if (reader.failed()) {
            return false;
        }
    }
    return true;
}

bool FindString(const std::vector<ResourceEntry>& entries, unsigned id, std::u16string& text, std::uint16_t language) {
    if (id > 0xFFFF) {
        return false;
    }
    const ResourceEntry* block =
        FindResource(entries, ResourceId::Number(kResourceString), ResourceId::Number(StringBlockName(id)), language);
    std::vector<std::u16string> strings;
    if (block == nullptr || !ParseStringBlock(block->data, strings)) {
        return false;
    }
    text = strings[id & 15];
    return !text.empty();
}

}  // namespace win32standin
