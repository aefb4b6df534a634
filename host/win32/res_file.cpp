#include "win32/res_file.h"

#include "win32/byte_reader.h"
#include "win32/text_encoding.h"

namespace win32standin {

namespace {

ResourceId ReadId(ByteReader& reader) {
    const std::uint16_t first = reader.Word();
    if (first == 0xFFFF) {
        return ResourceId::Number(reader.Word());
    }
    std::u16string text;
    std::uint16_t unit = first;
    while (!reader.failed() && unit != 0) {
        text.push_back(static_cast<char16_t>(unit));
        unit = reader.Word();
    }
    return ResourceId::Text(ToAnsi(text));
}

}  // namespace

bool ResourceId::Matches(const ResourceId& other) const {
    if (kind != other.kind) {
        return false;
    }
    switch (kind) {
        case Kind::None:
            return true;
        case Kind::Number:
            return number == other.number;
        case Kind::Text:
            return SameNameIgnoringCase(text, other.text);
    }
    return false;
}

std::string ResourceId::ToString() const {
    switch (kind) {
        case Kind::None:
            return "none";
        case Kind::Number:
            return "#" + std::to_string(number);
        case Kind::Text:
            return "\"" + text + "\"";
    }
    return "?";
}

bool ParseResFile(const std::uint8_t* data, std::size_t size, std::vector<ResourceEntry>& entries, std::string& error) {
    entries.clear();
    ByteReader reader(data, size);
    while (!reader.AtEnd()) {
        const std::size_t start = reader.Position();
        if (reader.Remaining() < 8) {
            error = "truncated entry header at offset " + std::to_string(start);
            return false;
        }
        const std::uint32_t dataSize = reader.Dword();
        const std::uint32_t headerSize = reader.Dword();
        if (headerSize < 24 || headerSize - 8 > reader.Remaining()) {
            error = "bad header size " + std::to_string(headerSize) + " at offset " + std::to_string(start);
            return false;
        }
        ByteReader header(data + start, headerSize);
        header.Skip(8);
        ResourceEntry entry;
        entry.type = ReadId(header);
        entry.name = ReadId(header);
        header.Align(4);
        entry.dataVersion = header.Dword();
        entry.memoryFlags = header.Word();
        entry.language = header.Word();
        entry.version = header.Dword();
        entry.characteristics = header.Dword();
        if (header.failed()) {
            error = "malformed entry header at offset " + std::to_string(start);
            return false;
        }
        reader.Skip(headerSize - 8);
        if (dataSize > reader.Remaining()) {
            error = "data of " + entry.type.ToString() + "/" + entry.name.ToString() + " runs past the end";
            return false;
        }
        entry.data.assign(reader.Here(), reader.Here() + dataSize);
        reader.Skip(dataSize);
        if (!reader.AtEnd()) {
            const std::size_t rest = reader.Position() % 4;
            if (rest != 0 && reader.Remaining() < 4 - rest) {
                error = "missing padding after " + entry.type.ToString() + "/" + entry.name.ToString();
                return false;
            }
            reader.Align(4);
        }
        if (!entry.type.IsNumber(0)) {
            entries.push_back(std::move(entry));
        }
    }
    return true;
}

const ResourceEntry* FindResource(const std::vector<ResourceEntry>& entries, const ResourceId& type,
                                  const ResourceId& name, std::uint16_t language) {
    const ResourceEntry* neutral = nullptr;
    const ResourceEntry* first = nullptr;
    for (const ResourceEntry& entry : entries) {
        if (!entry.type.Matches(type) || !entry.name.Matches(name)) {
            continue;
        }
        if (entry.language == language) {
            return &entry;
        }
        if (entry.language == kLanguageNeutral && neutral == nullptr) {
            neutral = &entry;
        }
        if (first == nullptr) {
            first = &entry;
        }
    }
    return neutral != nullptr ? neutral : first;
}

}  // namespace win32standin
