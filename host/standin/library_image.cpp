#include "standin/library_image.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

namespace standin {

namespace {

// Little-endian fields at offsets that the callers have checked.
std::uint64_t Field(const std::vector<char>& bytes, std::uint64_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(at) + i]);
    }
    return value;
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

}  // namespace

bool ReadLibraryFile(const std::string& path, std::vector<char>& bytes, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = path + ": cannot be opened";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = path + (S_ISDIR(status.st_mode) ? ": is a folder, not a plug-in library" : ": not a regular file");
        return false;
    }
    if (static_cast<std::uint64_t>(status.st_size) > kMaxLibraryBytes) {
        error = path + ": larger than a plug-in library may be (" + std::to_string(kMaxLibraryBytes >> 20) + " MiB)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(status.st_size));
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
        in.peek() != std::ifstream::traits_type::eof()) {
        error = path + ": cannot be read whole (it changed while it was read)";
        return false;
    }
    return true;
}

std::string CheckElfLibrary(const std::vector<char>& bytes, ElfImage& image) {
    // 64-bit, little-endian.
    if (bytes.size() < kElfHeader || std::memcmp(bytes.data(), "\x7f" "ELF", 4) != 0 || bytes[4] != 2 ||
        bytes[5] != 1) {
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
    std::string problem = CheckSegments(bytes);
    return problem.empty() ? CheckSections(bytes, image) : problem;
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
        return "a Windows library for another kind of processor (machine " +
               std::to_string(Field(bytes, pe + 4, 2)) + ")";
    }
    if ((Field(bytes, pe + 22, 2) & 0x2000) == 0) {
        return "a Windows program, not a library";
    }
    const std::uint64_t sections = Field(bytes, pe + 6, 2), optional = Field(bytes, pe + 20, 2);
    const std::uint64_t table = pe + 24 + optional;
    if (!Inside(bytes, pe + 24, 1, optional) || !Inside(bytes, table, sections, 40)) {
        return "its section table lies outside the file";
    }
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t at = table + i * 40;
        const std::uint64_t size = Field(bytes, at + 16, 4), offset = Field(bytes, at + 20, 4);
        if (size != 0 && !Inside(bytes, offset, size, 1)) {
            return "section " + std::to_string(i) + " (" + Span(offset, size) + ") " + PastTheEnd(bytes);
        }
    }
    return "";
}

}  // namespace standin
