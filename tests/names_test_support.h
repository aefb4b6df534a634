#pragma once

// Shared helpers of the names tool's tests: a scratch folder, whole-file
// bytes, readable byte comparisons and scenes of given names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "standin/standin_scene.h"

namespace names_test {

// A scratch folder that lists its entries.
class ScratchFolder : public test_support::ScratchFolder {
public:
    ScratchFolder() : test_support::ScratchFolder("velkora-test") {}

    // The names of the folder's entries, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Bytes as C-style escaped text, e.g. "a\r\n\x00".
inline std::string Escaped(const std::string& bytes) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7f) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

// The bytes that a text-mode stream writes for `text`: every "\n" becomes
// the platform's line end, CR LF on Windows.
inline std::string TextModeBytes(const std::string& text) {
#if defined(_WIN32)
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
#else
    return text;
#endif
}

// Byte-for-byte equality that shows both sides when it fails.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "\n  actual:   " << Escaped(actual)
                                         << "\n  expected: " << Escaped(expected);
}

// A scene whose nodes, in pre-order, have the given names: `parents[i]` is
// the pre-order index of node i's parent (node 0 is the root).
inline void BuildScene(standin::StandinScene& scene, const std::vector<std::string>& names,
                       const std::vector<int>& parents) {
    std::vector<standin::StandinNode*> made{&scene.Root()};
    scene.Root().SetName(names.at(0));
    for (std::size_t i = 1; i < names.size(); ++i) {
        made.push_back(&scene.AddNode(*made.at(static_cast<std::size_t>(parents.at(i))), names[i]));
    }
}

// The names of the scene's nodes in pre-order.
inline std::vector<std::string> NamesOf(standin::StandinScene& scene) {
    std::vector<std::string> names;
    for (const standin::StandinNode* node : scene.PreOrder()) {
        names.push_back(node->Name());
    }
    return names;
}

}  // namespace names_test
