// Inputs that are damaged or never end: a plug-in library cut short or with
// a wrapping table offset, a file that is no library, a device and a pipe.
// Each is refused with one line that says what is wrong, before anything
// maps or reads it without bound, and the stand-in says nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "files/input_file.h"
#include "hosting/plugin_directory.h"
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
    const fs::path folder = fs::temp_directory_path() / ("damaged_input_test." + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string tarvel = Tarvel();
    ASSERT_GT(tarvel.size(), 4096u);
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
}
