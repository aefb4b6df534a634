#include "standin/library_image.h"

#include <algorithm>
#include <cstring>

#include "standin/little_endian.h"

namespace standin {

namespace {

// Little-endian fields at offsets that the callers have checked.
std::uint64_t Field(const std::vector<char>& bytes, std::uint64_t at, int size) {
    return little_endian::Unsigned(bytes, static_cast<std::size_t>(at), size);
}

// Whether `count` records of `size` bytes from `offset` lie inside the file.
bool Inside(const std::vector<char>& bytes, std::uint64_t offset, std::uint64_t count, std::uint64_t size) {
    const std::uint64_t total = bytes.size();
    return offset <= total && (size == 0 || count <= (total - offset) / size);
}

std::string Span(std::uint64_t offset, std::uint64_t size) {
    return std::to_string(size) + " bytes from byte " + std::to_string(offset);
}

std::string PastTheEnd(const std::vector<char>& bytes) {
    return "ends past the end of the file (" + std::to_string(bytes.size()) +
           " bytes): the file is cut short or damaged";
}

constexpr std::uint64_t kElfHeader = 64, kProgramHeader = 56, kSectionHeader = 64;
constexpr std::uint64_t kElfDynamic = 3, kElfNoBits = 8, kElfNone = 0;
constexpr std::uint64_t kElfLoad = 1, kElfExecutable = 1;
// PE32's optional header up to its entry address, and a section's flag for code that runs.
constexpr std::uint64_t kPe32 = 0x10b, kPeEntryEnd = 20, kPeExecutable = 0x20000000;
#if defined(__aarch64__)
constexpr std::uint64_t kElfMachine = 183;
#else
constexpr std::uint64_t kElfMachine = 62;  // x86-64
#endif

std::string CheckSegments(const std::vector<char>& bytes) {
    const std::uint64_t table = Field(bytes, 32, 8), count = Field(bytes, 56, 2);
    if (count == 0 || Field(bytes, 54, 2) != kProgramHeader || !Inside(bytes, table, count, kProgramHeader)) {
        return "its program headers lie outside the file";
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * kProgramHeader;
        const std::uint64_t offset = Field(bytes, at + 8, 8), fileSize = Field(bytes, at + 32, 8);
        const std::uint64_t address = Field(bytes, at + 16, 8), memorySize = Field(bytes, at + 40, 8);
        if (!Inside(bytes, offset, fileSize, 1)) {
            return "segment " + std::to_string(i) + " (" + Span(offset, fileSize) + ") " + PastTheEnd(bytes);
        }
        if (fileSize > memorySize || address + memorySize < address) {
            return "segment " + std::to_string(i) + " has impossible sizes";
        }
    }
    return "";
}

// Whether `entry` lies in a loaded segment that holds code.
bool EntryInCode(const std::vector<char>& bytes, std::uint64_t entry) {
    const std::uint64_t table = Field(bytes, 32, 8), count = Field(bytes, 56, 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * kProgramHeader;
        const std::uint64_t address = Field(bytes, at + 16, 8), memorySize = Field(bytes, at + 40, 8);
        if (Field(bytes, at, 4) == kElfLoad && (Field(bytes, at + 4, 4) & kElfExecutable) != 0 && entry >= address &&
            entry - address < memorySize) {
            return true;
        }
    }
    return false;
}

std::string Hex(std::uint64_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

std::string CheckSections(const std::vector<char>& bytes, ElfImage& image) {
    const std::uint64_t table = Field(bytes, 40, 8), count = Field(bytes, 60, 2), names = Field(bytes, 62, 2);
    if (table == 0 && count == 0) {
        return "";
    }
    if (Field(bytes, 58, 2) != kSectionHeader || !Inside(bytes, table, count, kSectionHeader) || names >= count) {
        return "its section table lies outside the file";
    }
    const auto header = [&](std::uint64_t i) { return table + i * kSectionHeader; };
    const std::uint64_t namesAt = Field(bytes, header(names) + 24, 8), namesSize = Field(bytes, header(names) + 32, 8);
    if (!Inside(bytes, namesAt, namesSize, 1)) {
        return "its section names lie outside the file";
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t type = Field(bytes, header(i) + 4, 4);
        const std::uint64_t offset = Field(bytes, header(i) + 24, 8), size = Field(bytes, header(i) + 32, 8);
        if (type != kElfNoBits && type != kElfNone && !Inside(bytes, offset, size, 1)) {
            return "section " + std::to_string(i) + " (" + Span(offset, size) + ") lies outside the file";
        }
        const std::uint64_t name = Field(bytes, header(i), 4);
        constexpr char kResources[] = ".rsrc";
        if (name < namesSize && namesSize - name >= sizeof kResources &&
            std::memcmp(bytes.data() + namesAt + name, kResources, sizeof kResources) == 0) {
            image.resourceOffset = offset;
            image.resourceSize = size;
        }
    }
    return "";
}

// The dynamic table's names (needed libraries, the library's own name,
// search paths) lie in its string table: the system's loader reads a
// loaded library's own name at every later load, so one that points
// elsewhere would crash the load of another library.
std::string CheckDynamicNames(const std::vector<char>& bytes) {
    constexpr std::uint64_t kDynamicSegment = 2, kEntry = 16;
    constexpr std::uint64_t kNull = 0, kStringTableSize = 10;
    constexpr std::uint64_t kNamedTags[] = {1, 14, 15, 29};  // NEEDED, SONAME, RPATH, RUNPATH
    const std::uint64_t table = Field(bytes, 32, 8), count = Field(bytes, 56, 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * kProgramHeader;
        if (Field(bytes, at, 4) != kDynamicSegment) {
            continue;
        }
        const std::uint64_t offset = Field(bytes, at + 8, 8), entries = Field(bytes, at + 32, 8) / kEntry;
        std::uint64_t stringsSize = 0, largestName = 0;
        bool named = false;
        for (std::uint64_t e = 0; e < entries; ++e) {
            const std::uint64_t tag = Field(bytes, offset + e * kEntry, 8);
            const std::uint64_t value = Field(bytes, offset + e * kEntry + 8, 8);
            if (tag == kNull) {
                break;
            }
            if (tag == kStringTableSize) {
                stringsSize = value;
            } else if (std::find(std::begin(kNamedTags), std::end(kNamedTags), tag) != std::end(kNamedTags)) {
                named = true;
                largestName = std::max(largestName, value);
            }
        }
        if (named && largestName >= stringsSize) {
            return "its dynamic table names a string at " + std::to_string(largestName) + ", past its string table (" +
                   std::to_string(stringsSize) + " bytes)";
        }
    }
    return "";
}

}  // namespace

std::string CheckElfLibrary(const std::vector<char>& bytes, ElfImage& image) {
    // 64-bit, little-endian.
    if (bytes.size() < kElfHeader ||
        std::memcmp(bytes.data(),
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        bytes[4] != 2 || bytes[5] != 1) {
        return "not a 64-bit ELF shared library";
    }
    if (Field(bytes, 16, 2) != kElfDynamic) {
        return "an ELF file, but not a shared library";
    }
    if (Field(bytes, 18, 2) != kElfMachine) {
        return "a shared library for another kind of processor (ELF machine " + std::to_string(Field(bytes, 18, 2)) +
               ")";
    }
    if (Field(bytes, 52, 2) < kElfHeader) {
        return "its ELF header is damaged";
    }
    image.entry = Field(bytes, 24, 8);
    if (std::string problem = CheckSegments(bytes); !problem.empty()) {
        return problem;
    }
    // The entry is called once the library is mapped: anywhere but its code
    // would crash the host, or run what is not code.
    if (image.entry != 0 && !EntryInCode(bytes, image.entry)) {
        return "its entry address " + Hex(image.entry) + " lies outside its code (its executable segments)";
    }
    if (std::string problem = CheckDynamicNames(bytes); !problem.empty()) {
        return problem;
    }
    return CheckSections(bytes, image);
}

std::string CheckPeLibrary(const std::vector<char>& bytes) {
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return "not a Windows library (no MZ header)";
    }
    const std::uint64_t pe = Field(bytes, 60, 4);
    if (!Inside(bytes, pe, 1, 24) || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0) {
        return "not a Windows library (no PE header inside the file)";
    }
    if (Field(bytes, pe + 4, 2) != 0x14c) {
        return "a Windows library for another kind of processor (machine " + std::to_string(Field(bytes, pe + 4, 2)) +
               ")";
    }
    if ((Field(bytes, pe + 22, 2) & 0x2000) == 0) {
        return "a Windows program, not a library";
    }
    const std::uint64_t sections = Field(bytes, pe + 6, 2), optional = Field(bytes, pe + 20, 2);
    const std::uint64_t table = pe + 24 + optional;
    if (!Inside(bytes, pe + 24, 1, optional) || !Inside(bytes, table, sections, 40)) {
        return "its section table lies outside the file";
    }
    if (optional < kPeEntryEnd || Field(bytes, pe + 24, 2) != kPe32) {
        return "its optional header is not a 32-bit Windows library's";
    }
    const std::uint64_t entry = Field(bytes, pe + 24 + 16, 4);
    bool entryInCode = false;
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t at = table + i * 40;
        const std::uint64_t size = Field(bytes, at + 16, 4), offset = Field(bytes, at + 20, 4);
        if (size != 0 && !Inside(bytes, offset, size, 1)) {
            return "section " + std::to_string(i) + " (" + Span(offset, size) + ") " + PastTheEnd(bytes);
        }
        const std::uint64_t address = Field(bytes, at + 12, 4);
        const std::uint64_t mapped = std::max(Field(bytes, at + 8, 4), size);
        if ((Field(bytes, at + 36, 4) & kPeExecutable) != 0 && entry >= address && entry - address < mapped) {
            entryInCode = true;
        }
    }
    // The system calls the entry once the library is mapped, as the ELF
    // loader does: a library without one, or with one outside its code, is
    // refused alike.
    if (entry == 0) {
        return "has no library entry";
    }
    return entryInCode ? "" : "its entry address " + Hex(entry) + " lies outside its code (its executable sections)";
}

}  // namespace standin
