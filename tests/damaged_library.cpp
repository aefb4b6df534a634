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

// A PE file's relative address as an offset in the file, by its sections.
std::uint64_t PeFileOffsetOf(const Bytes& bytes, std::uint64_t address) {
    const std::uint64_t header = Field(bytes, 0x3c, 4) + 4;
    const std::uint64_t sections = header + 20 + Field(bytes, header + 16, 2);
    for (std::uint64_t i = 0; i < Field(bytes, header + 2, 2); ++i) {
        const std::uint64_t at = sections + i * 40;
        const std::uint64_t start = Field(bytes, at + 12, 4);
        if (address >= start && address - start < Field(bytes, at + 16, 4)) {
            return address - start + Field(bytes, at + 20, 4);
        }
    }
    throw std::runtime_error("an address outside the sections");
}

// The relative address of `name` in a PE file's symbol table (COFF), where
// a 32-bit compiler's names begin with an underscore.
std::uint64_t PeSymbolAddress(const Bytes& bytes, const std::string& name) {
    const std::uint64_t header = Field(bytes, 0x3c, 4) + 4;
    const std::uint64_t symbols = Field(bytes, header + 8, 4), count = Field(bytes, header + 12, 4);
    const std::uint64_t strings = symbols + count * 18;
    const std::uint64_t sections = header + 20 + Field(bytes, header + 16, 2);
    for (std::uint64_t i = 0; i < count; i += 1 + Field(bytes, symbols + i * 18 + 17, 1)) {
        const std::uint64_t at = symbols + i * 18;
        const std::string symbol = Field(bytes, at, 4) == 0
                                       ? std::string(bytes.data() + strings + Field(bytes, at + 4, 4))
                                       : std::string(bytes.data() + at, strnlen(bytes.data() + at, 8));
        const std::uint64_t section = Field(bytes, at + 12, 2);
        if (symbol == "_" + name && section > 0 && section < 0x8000) {
            return Field(bytes, sections + (section - 1) * 40 + 12, 4) + Field(bytes, at + 8, 4);
        }
    }
    throw std::runtime_error("no symbol " + name);
}

std::uint64_t PeCodeOffset(const Bytes& bytes, const std::string& name) {
    const std::uint64_t optional = Field(bytes, 0x3c, 4) + 24;
    return PeFileOffsetOf(bytes, name.empty() ? Field(bytes, optional + 16, 4) : PeSymbolAddress(bytes, name));
}

}  // namespace

bool IsPe(const Bytes& bytes) { return bytes.size() > 2 && bytes[0] == 'M' && bytes[1] == 'Z'; }

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t CodeOffset(const Bytes& bytes, const std::string& name) {
    if (IsPe(bytes)) {
        return PeCodeOffset(bytes, name);
    }
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

std::string LeavingGroup(bool fleeing) {
    const std::string setsid("\xb8\x70\x00\x00\x00\x0f\x05", 7);
    // pause, again and again
    const std::string waiting("\xb8\x22\x00\x00\x00\x0f\x05\xeb\xf7", 9);
    // a nanosleep of 1 ms; fork; the child goes back to setsid, the parent exits
    const std::string flight(
        "\x68\x40\x42\x0f\x00\x6a\x00\x48\x89\xe7\x31\xf6\xb8\x23\x00\x00\x00\x0f\x05\x48\x83\xc4\x10"
        "\xb8\x39\x00\x00\x00\x0f\x05\x85\xc0\x74\xd7\xb8\x3c\x00\x00\x00\x31\xff\x0f\x05",
        43);
    const std::string child = setsid + (fleeing ? flight : waiting);
    // fork; the parent skips the child's code, then waits until the child
    // leads a group of its own (getpgid)
    const std::string fork("\xb8\x39\x00\x00\x00\x0f\x05\x85\xc0\x75", 10);
    const std::string left("\x89\xc7\xb8\x79\x00\x00\x00\x0f\x05\x39\xf8\x75\xf5", 13);
    return fork + static_cast<char>(child.size()) + child + left;
}

}  // namespace damaged
