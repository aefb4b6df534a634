#include "damaged_library.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace damaged {

namespace {

std::uint64_t Field(const Bytes& bytes, std::uint64_t at, int size) {
    if (at + static_cast<std::uint64_t>(size) > bytes.size()) {
        throw std::runtime_error("a field past the end of the library");
    }
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data() + at, static_cast<std::size_t>(size));
    return value;
}

std::uint64_t FileOffsetOf(const Bytes& bytes, std::uint64_t address) {
    const std::uint64_t table = Field(bytes, 32, 8), count = Field(bytes, 56, 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * 56;
        const std::uint64_t offset = Field(bytes, at + 8, 8), start = Field(bytes, at + 16, 8);
        if (Field(bytes, at, 4) == 1 && address >= start && address - start < Field(bytes, at + 32, 8)) {
            return address - start + offset;
        }
    }
    throw std::runtime_error("an address outside the loaded segments");
}

std::uint64_t SymbolAddress(const Bytes& bytes, const std::string& name) {
    const std::uint64_t table = Field(bytes, 40, 8), count = Field(bytes, 60, 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t section = table + i * 64;
        if (Field(bytes, section + 4, 4) != 2) {  // the symbol table
            continue;
        }
        const std::uint64_t strings = Field(bytes, table + Field(bytes, section + 40, 4) * 64 + 24, 8);
        const std::uint64_t first = Field(bytes, section + 24, 8), size = Field(bytes, section + 32, 8);
        for (std::uint64_t symbol = first; symbol + 24 <= first + size; symbol += 24) {
            if (bytes.data() + strings + Field(bytes, symbol, 4) == name) {
                return Field(bytes, symbol + 8, 8);
            }
        }
    }
    throw std::runtime_error("no symbol " + name);
}

}  // namespace

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t CodeOffset(const Bytes& bytes, const std::string& name) {
    return FileOffsetOf(bytes, name.empty() ? Field(bytes, 24, 8) : SymbolAddress(bytes, name));
}

void Patch(Bytes& bytes, std::uint64_t offset, const std::string& code) {
    std::memcpy(bytes.data() + offset, code.data(), code.size());
}

void SetDynamic(Bytes& bytes, std::uint64_t tag, std::uint64_t value) {
    const std::uint64_t table = Field(bytes, 32, 8), count = Field(bytes, 56, 2);
    bool set = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * 56;
        if (Field(bytes, at, 4) != 2) {  // the dynamic segment
            continue;
        }
        const std::uint64_t first = Field(bytes, at + 8, 8), size = Field(bytes, at + 32, 8);
        for (std::uint64_t entry = first; entry + 16 <= first + size; entry += 16) {
            if (Field(bytes, entry, 8) == tag) {
                std::memcpy(bytes.data() + entry + 8, &value, sizeof value);
                set = true;
            }
        }
    }
    if (!set) {
        throw std::runtime_error("no dynamic entry " + std::to_string(tag));
    }
}

}  // namespace damaged
