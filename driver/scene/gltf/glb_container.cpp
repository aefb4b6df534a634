#include "scene/gltf/glb_container.h"

#include <cstdint>

#include "scene/scene_error.h"

namespace driver::gltf {

namespace {

constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;

std::uint32_t ReadWord(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = (word << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return word;
}

void AppendWord(std::string& bytes, std::size_t word) {
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((word >> (8 * i)) & 0xFF);
    }
}

}  // namespace

bool HasGlbMagic(const std::string& bytes) { return bytes.rfind("glTF", 0) == 0; }

GlbParts SplitGlb(std::string bytes, const std::string& source) {
    auto fail = [&](const std::string& why) -> void { throw SceneFileError(source + ": malformed GLB: " + why); };
    if (!HasGlbMagic(bytes)) {
        throw SceneFileError(source + ": not a GLB file: it does not begin with \"glTF\"");
    }
    if (bytes.size() < kHeaderSize) {
        fail("the file is shorter than the 12-byte header");
    }
    const std::uint32_t version = ReadWord(bytes, 4);
    if (version != 2) {
        throw SceneFileError(source + ": not glTF 2.0: GLB version " + std::to_string(version));
    }
    const std::uint32_t length = ReadWord(bytes, 8);
    if (length != bytes.size()) {
        fail("the header gives a length of " + std::to_string(length) + " bytes, the file has " +
             std::to_string(bytes.size()));
    }
    // Every chunk must lie within the file; the first must be the JSON.
    std::size_t jsonEnd = 0;
    for (std::size_t at = kHeaderSize, chunk = 0; at < bytes.size(); ++chunk) {
        if (bytes.size() - at < kChunkHeaderSize) {
            fail("chunk " + std::to_string(chunk) + " at byte " + std::to_string(at) + " has no complete header");
        }
        const std::uint32_t chunkLength = ReadWord(bytes, at);
        if (bytes.size() - at - kChunkHeaderSize < chunkLength) {
            fail("chunk " + std::to_string(chunk) + " at byte " + std::to_string(at) + " runs past the end");
        }
        if (chunk == 0 && ReadWord(bytes, at + 4) != kJsonChunk) {
            fail("the first chunk is not the JSON chunk");
        }
        at += kChunkHeaderSize + chunkLength;
        jsonEnd = chunk == 0 ? at : jsonEnd;
    }
    if (jsonEnd == 0) {
        fail("there is no JSON chunk");
    }
    GlbParts parts;
    parts.head = bytes.substr(0, kHeaderSize + kChunkHeaderSize);
    parts.json = bytes.substr(kHeaderSize + kChunkHeaderSize, jsonEnd - kHeaderSize - kChunkHeaderSize);
    // Padding is spaces; some writers pad with zero bytes instead.
    const std::size_t zeros = parts.json.size() - (parts.json.find_last_not_of('\0') + 1);
    parts.padding.assign(zeros, '\0');
    parts.json.resize(parts.json.size() - zeros);
    // Most of a large file is usually its binary chunk: it keeps the file's
    // memory rather than being copied out of it.
    if (bytes.size() - jsonEnd >= jsonEnd) {
        bytes.erase(0, jsonEnd);
        parts.chunks = std::move(bytes);
    } else {
        parts.chunks = bytes.substr(jsonEnd);
    }
    return parts;
}

std::string GlbHead(std::size_t jsonSize, std::size_t chunksSize) {
    const std::size_t padded = jsonSize + GlbPadding(jsonSize).size();
    std::string head = "glTF";
    AppendWord(head, 2);
    AppendWord(head, kHeaderSize + kChunkHeaderSize + padded + chunksSize);
    AppendWord(head, padded);
    AppendWord(head, kJsonChunk);
    return head;
}

std::string GlbPadding(std::size_t jsonSize) { return std::string((4 - jsonSize % 4) % 4, ' '); }

}  // namespace driver::gltf
