// Inputs that are damaged or never end: a plug-in library cut short, with
// a wrapping table offset or an entry outside its code, a file that is no
// library, a device and a pipe, also where a plug-in's name is looked up.
// Each is refused with one line that says what is wrong, before anything
// maps or reads it without bound, and the stand-in says nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "damaged_library.h"
#include "files/input_file.h"
#include "hosting/plugin_directory.h"
#include "hosting/tool_library.h"
#include "standin/library_image.h"
#include "standin/plugin_loader.h"
#include "win32/standin_extensions.h"

namespace fs = std::filesystem;

namespace {

std::string Tarvel() {
    std::ifstream in(driver::PluginDirectory() + "/Tarvel.dlu", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The library with the 8 bytes at `offset` set to `value` (little-endian).
std::string WithField(std::string bytes, std::size_t offset, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

// The end of the library's code: its executable loaded segment's address
// and size in memory.
std::uint64_t CodeEnd(const std::string& bytes) {
    const auto field = [&bytes](std::size_t at, int size) {
        std::uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        }
        return value;
    };
    for (std::size_t i = 0, table = field(32, 8); i < field(56, 2); ++i) {
        const std::size_t header = table + 56 * i;
        if (field(header, 4) == 1 && (field(header + 4, 4) & 1) != 0) {
            return field(header + 16, 8) + field(header + 40, 8);
        }
    }
    return 0;
}

// The library with the value of the first entry `tag` of its dynamic table
// set to `value`.
std::string WithDynamic(std::string bytes, std::uint64_t tag, std::uint64_t value) {
    const auto field = [&bytes](std::size_t at) {
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i) {
            word = (word << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        }
        return word;
    };
    const std::size_t table = field(32);
    for (std::size_t i = 0; i < (field(56) & 0xFFFF); ++i) {
        const std::size_t header = table + 56 * i;
        if ((field(header) & 0xFFFFFFFF) != 2) {  // PT_DYNAMIC
            continue;
        }
        for (std::size_t at = field(header + 8); at < field(header + 8) + field(header + 32); at += 16) {
            if (field(at) == tag) {
                return WithField(bytes, at + 8, value);
            }
        }
    }
    return bytes;
}

// The library with its entry a loop.
std::string Looping(const std::string& library) {
    damaged::Bytes bytes(library.begin(), library.end());
    damaged::Patch(bytes, damaged::CodeOffset(bytes, ""), damaged::kHang);
    return std::string(bytes.begin(), bytes.end());
}

// What the driver says of the library, having tried it in a process of its own.
std::string ToolProblem(const std::string& path) {
    try {
        driver::LoadToolLibrary(path);
        return "";
    } catch (const driver::ToolLibraryError& e) {
        return e.what();
    }
}

std::string LoadProblem(const std::string& path) {
    std::string error;
    const auto library = standin::PluginLibrary::Load(path, error);
    return library ? "" : error;
}

std::string ReadProblem(const std::string& path) {
    try {
        driver::ReadInputFile(path);
        return "";
    } catch (const driver::InputFileError& e) {
        return e.what();
    }
}

}  // namespace

TEST(DamagedInput, IsRefusedWithOneLineThatSaysWhy) {
    ::setenv("MORVANE_CALL_LIMIT", "1", 1);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);  // what a library started and the driver left comes here
    const auto descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto opened = descriptors();
    const fs::path folder = fs::temp_directory_path() / ("damaged_input_test." + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Plug-ins asked for by name that are there, but are no files.
    fs::create_directory(folder / "Folder.dlu");
    ASSERT_EQ(::mkfifo((folder / "Pipe.dlu").c_str(), 0600), 0);
    fs::create_symlink("nowhere.dlu", folder / "Dangling.dlu");
    const auto FoundProblem = [&folder](const std::string& name) {
        return [name, &folder](const std::string&) {
            try {
                return LoadProblem(driver::FindTool(name, folder.string()));
            } catch (const driver::ToolLibraryError& e) {
                return std::string(e.what());
            }
        };
    };
    const std::string tarvel = Tarvel();
    ASSERT_GT(tarvel.size(), 4096u);
    standin::ElfImage image;
    ASSERT_EQ(standin::CheckElfLibrary(std::vector<char>(tarvel.begin(), tarvel.end()), image), "");
    const std::string lastInCode = WithField(tarvel, 24, CodeEnd(tarvel) - 1);
    EXPECT_EQ(standin::CheckElfLibrary(std::vector<char>(lastInCode.begin(), lastInCode.end()), image), "")
        << "the last byte of the code is in the code";
    const struct {
        const char* input;
        std::string bytes;  // written to a file; empty: `path` as it is
        std::string path;
        std::function<std::string(const std::string&)> read;
        const char* problem;
    } cases[] = {
        {"a library cut short", tarvel.substr(0, 4096), "", LoadProblem, "ends past the end of the file (4096 bytes)"},
        {"a wrapping section table offset", WithField(tarvel, 40, 0xFFFFFFFFFFFFFF00), "", LoadProblem,
         "its section table lies outside the file"},
        {"a wrapping program header offset", WithField(tarvel, 32, 0xFFFFFFFFFFFFFFF0), "", LoadProblem,
         "its program headers lie outside the file"},
        {"a text file as a library", "{}\n", "", LoadProblem, "not a 64-bit ELF shared library"},
        {"an entry at address 1", WithField(tarvel, 24, 1), "", LoadProblem,
         "its entry address 0x1 lies outside its code"},
        {"an entry past every segment", WithField(tarvel, 24, 0xFFFFFFFFFFFF0000), "", LoadProblem,
         "its entry address 0xffffffffffff0000 lies outside its code"},
        {"an entry in the headers' segment, which is no code", WithField(tarvel, 24, 0x40), "", LoadProblem,
         "its entry address 0x40 lies outside its code"},
        {"an entry just past the end of its code", WithField(tarvel, 24, CodeEnd(tarvel)), "", ToolProblem,
         "lies outside its code"},
        {"a string table that lies nowhere, which the system's loader trips over",
         WithDynamic(tarvel, 5, 0x7fff00000000), "", ToolProblem,
         "input.dlu: the library crashed as it was loaded and asked for its class descriptor (SIGSEGV)"},
        {"a symbol table that lies nowhere", WithDynamic(tarvel, 6, 0x7fff00000000), "", ToolProblem,
         "input.dlu: the library crashed as it was loaded"},
        {"a folder named as the plug-in", "", (folder / "Folder.dlu").string(), FoundProblem("Folder"),
         "Folder.dlu: is a folder, not a plug-in library"},
        {"a pipe named as the plug-in", "", (folder / "Pipe.dlu").string(), FoundProblem("Pipe"),
         "Pipe.dlu: not a regular file"},
        {"a dangling link named as the plug-in", "", (folder / "Dangling.dlu").string(), FoundProblem("Dangling"),
         "Dangling.dlu: cannot be opened: no such file or directory"},
        // A library whose entry loops, closes the probe's pipe and waits, or ends its process.
        {"an entry that loops", Looping(tarvel), "", ToolProblem,
         "input.dlu: the library did not answer and end within 1 s of being loaded"},
        {"an entry that closes every descriptor and waits alone", "", CLOSE_ALONE_LIBRARY, ToolProblem,
         ": the library did not answer and end within 1 s of being loaded"},
        {"an entry that closes every descriptor and waits", "", CLOSE_AND_WAIT_LIBRARY, ToolProblem,
         ": the library did not answer and end within 1 s of being loaded"},
        {"an entry that ends its process quietly", "", SILENT_LIBRARY, ToolProblem,
         ": loading the library ended its process (status 0)"},
        {"a device as a library", "", "/dev/zero", LoadProblem, "/dev/zero: not a regular file"},
        {"a pipe as a library", "", fifo, LoadProblem, "fifo: not a regular file"},
        {"a device as a scene or session", "", "/dev/zero", ReadProblem,
         "/dev/zero: cannot be read: not a regular file"},
        {"a pipe as a scene or session", "", fifo, ReadProblem, "fifo: cannot be read: not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string path = c.path;
        if (path.empty()) {
            path = (folder / "input.dlu").string();
            std::ofstream(path, std::ios::binary) << c.bytes;
        }
        win32standin::ClearViolations();
        const std::string problem = c.read(path);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        EXPECT_TRUE(win32standin::Violations().empty());
    }
    fs::remove_all(folder);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a process that a library started outlived its probe";
    EXPECT_EQ(descriptors(), opened) << "a descriptor outlived the check that opened it";
}

// The Windows loader's checks, on the smallest 32-bit library: one section
// of code, and the entry where the system would call it.
TEST(DamagedInput, AWindowsLibraryWhoseEntryIsNotInItsCodeIsRefused) {
    const auto library = [](std::uint32_t entry, std::uint32_t sectionFlags) {
        std::vector<char> bytes(0x400, '\0');
        const auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
            for (int i = 0; i < size; ++i) {
                bytes[at + i] = static_cast<char>(value >> (8 * i));
            }
        };
        constexpr std::size_t pe = 64, optional = 224, section = pe + 24 + optional;
        bytes[0] = 'M', bytes[1] = 'Z';
        put(60, pe, 4);
        bytes[pe] = 'P', bytes[pe + 1] = 'E';
        put(pe + 4, 0x14c, 2);  // i386
        put(pe + 6, 1, 2);      // one section
        put(pe + 20, optional, 2);
        put(pe + 22, 0x2102, 2);  // a library
        put(pe + 24, 0x10b, 2);   // PE32
        put(pe + 24 + 16, entry, 4);
        put(section + 8, 0x1000, 4);   // mapped size
        put(section + 12, 0x1000, 4);  // address
        put(section + 16, 0x200, 4);   // size in the file
        put(section + 20, 0x200, 4);   // offset in the file
        put(section + 36, sectionFlags, 4);
        return bytes;
    };
    constexpr std::uint32_t kCode = 0x60000020, kData = 0x40000040;
    const struct {
        std::uint32_t entry, flags;
        const char* problem;
    } cases[] = {
        {0x1010, kCode, ""},
        {0x1fff, kCode, ""},
        {0, kCode, "has no library entry"},
        {0x10, kCode, "its entry address 0x10 lies outside its code"},
        {0x2000, kCode, "its entry address 0x2000 lies outside its code"},
        {0x1010, kData, "its entry address 0x1010 lies outside its code"},
    };
    for (const auto& c : cases) {
        const std::string problem = standin::CheckPeLibrary(library(c.entry, c.flags));
        EXPECT_EQ(problem.substr(0, std::string(c.problem).size()), c.problem) << c.entry;
        EXPECT_EQ(problem.empty(), std::string(c.problem).empty()) << c.entry;
    }
}
