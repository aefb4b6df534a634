// Relative URIs of buffers and images, rewritten for the written file's
// folder, reach the same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>

#include "gltf_test_file.h"
#include "gltf_test_scene.h"
#include "scene/gltf/gltf_uri.h"

using gltftest::Gltf;
using gltftest::Json;
using gltftest::Read;

TEST(GltfUri, RelativeUrisArePointedAtTheSameFilesFromTheWrittenFilesFolder) {
    const std::string text =
        Gltf(R"("buffers": [{"uri": "mesh data.bin"}, {"uri": "data:application/gltf-buffer;base64,AAAA"},
        {"uri": "https://example.com/b.bin"}, {"uri": "/abs/c.bin"}], "images": [{"uri": "../textures/wood%23%C3%A9.png"}, {"uri": 7}, {"uri": "maps\\bump.png"}])");
    auto file = Read(text, "in/scene/room.gltf");
    EXPECT_EQ(file->Content("in/scene/copy.gltf", {}).Joined(), text) << "the same folder";
    const Json written = Json::parse(file->Content("out/room.gltf", {}).Joined());
    EXPECT_EQ(written["buffers"][0]["uri"], "../in/scene/mesh%20data.bin");
    EXPECT_EQ(written["buffers"][1]["uri"], "data:application/gltf-buffer;base64,AAAA");
    EXPECT_EQ(written["buffers"][2]["uri"], "https://example.com/b.bin");
    EXPECT_EQ(written["buffers"][3]["uri"], "/abs/c.bin");
    EXPECT_EQ(written["images"][0]["uri"], "../in/textures/wood%23\xc3\xa9.png");
    EXPECT_EQ(written["images"][1]["uri"], 7);
    EXPECT_EQ(written["images"][2]["uri"], "../in/scene/maps/bump.png");
    EXPECT_EQ(Json::parse(file->Content("-", {}).Joined())["buffers"][0]["uri"], "in/scene/mesh%20data.bin")
        << "standard output is written for the working folder";

    auto colon =
        Read(Gltf(R"("buffers": [{"uri": "../c%3Ad/mesh.bin"}, {"uri": "../x/c%3Ad/y.bin"}])"), "in/scene/room.gltf");
    const Json up = Json::parse(colon->Content("in/room.gltf", {}).Joined());
    EXPECT_EQ(up["buffers"][0]["uri"], "./c:d/mesh.bin") << "a first segment with a colon is no scheme";
    EXPECT_EQ(up["buffers"][1]["uri"], "x/c:d/y.bin");

    auto notUtf8 = Read(Gltf(R"("images": [{"uri": "a%A6b.png"}])"), "in/scene/room.gltf");
    EXPECT_THROW(notUtf8->Content("out/room.gltf", {}).Joined(), driver::SceneFileError)
        << "escapes that spell no UTF-8";
}

// Random relative URIs, rewritten for random folders, reach the same file
// and never read as having a scheme.
TEST(GltfUri, RewrittenUrisReachTheSameFilesAndNeverGainAScheme) {
    std::mt19937 random(20);
#ifdef _WIN32
    // Windows file names hold no ":", and a segment such as "1:" names a
    // drive, so colons are tried on the other systems only.
    const std::string letters[] = {"a", "c", "Z", "1", "%25", " ", "+", ".", "-", "\xc3\xa9", "#"};
    const std::string folders[] = {"/w", "/w/cd", "/w/a/b", "/w/c", "/w/cd/e"};
#else
    const std::string letters[] = {"a", "c", "Z", "1", ":", "%3A", "%25", " ", "+", ".", "-", "\xc3\xa9", "#"};
    const std::string folders[] = {"/w", "/w/c:d", "/w/a/b", "/w/c", "/w/c:d/e"};
#endif
    auto segment = [&]() {
        std::string text;
        for (int n = std::uniform_int_distribution<int>(1, 4)(random); n > 0; --n) {
            text += letters[std::uniform_int_distribution<std::size_t>(0, std::size(letters) - 2)(random)];
        }
        return text;
    };
    for (int i = 0; i < 300; ++i) {
        std::string uri = std::uniform_int_distribution<int>(0, 2)(random) == 0 ? "../" : "";
        for (int n = std::uniform_int_distribution<int>(1, 3)(random); n > 0; --n) {
            uri += segment() + (n > 1 ? "/" : "");
        }
        if (uri.find(':') < uri.find('/')) {
            continue;  // a scheme, which stays as it is
        }
        const std::filesystem::path from = folders[i % 5], to = folders[(i / 5) % 5];
        const auto rebased = driver::gltf::RebasedUri(uri, from, to, "uri");
        const std::string written = rebased.value_or(uri);
        SCOPED_TRACE(uri + " -> " + written);
        EXPECT_EQ(driver::gltf::UriFile(written, to), driver::gltf::UriFile(uri, from));
        const std::size_t colon = written.find(':');
        EXPECT_TRUE(colon == std::string::npos || written.find_first_of("/?#") < colon) << "no scheme";
    }
}

// Every spelling of a file that the scene reads names that file, a file:
// URI of this machine's included, so that no run writes over it; an
// address of another host ("//host/...", "file://host/...") names none.
TEST(GltfUri, FileUrisOfThisMachineNameTheirFilesAndAnotherHostsNone) {
    const std::filesystem::path from = std::filesystem::u8path("/w/scene");
    const std::pair<const char*, const char*> cases[] = {
        {"file:///w/data/b.bin", "/w/data/b.bin"},
        {"FILE://localhost/w/data/%62.bin", "/w/data/b.bin"},
        {"file:/w/data/./b.bin?x#y", "/w/data/b.bin"},
        {"../data/b.bin", "/w/data/b.bin"},
        {"file://evil.example/w/data/b.bin", nullptr},
        {"//evil.example/i.png", nullptr},
        {"\\\\evil.example\\i.png", nullptr},
        {"https://example.com/b.bin", nullptr},
        {"data:application/gltf-buffer;base64,AAAA", nullptr},
    };
    for (const auto& [uri, file] : cases) {
        const std::optional<std::filesystem::path> named = driver::gltf::UriFile(uri, from);
        EXPECT_EQ(named ? named->generic_u8string() : "none",
                  file != nullptr ? std::filesystem::u8path(file).lexically_normal().generic_u8string() : "none")
            << uri;
    }
}
